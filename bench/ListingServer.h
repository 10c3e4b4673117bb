// A small, fast FTP server for the listing benchmark: it answers one session at a time on
// 127.0.0.1 and lists a real directory the way compiled servers do (read the directory, stat
// every entry, write "ls -l" lines in large blocks as they are made), so the client's own cost
// is not hidden behind a slow server.
#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace bench {

class ListingServer {
public:
    explicit ListingServer(std::filesystem::path root) : m_root(std::move(root))
    {
        m_listener = listenOnLoopback(m_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~ListingServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    ListingServer(const ListingServer&) = delete;
    ListingServer& operator=(const ListingServer&) = delete;

    std::uint16_t port() const { return m_port; }

private:
    static int listenOnLoopback(std::uint16_t& port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(fd, 4) != 0
            || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("the listing server cannot listen");
        port = ntohs(address.sin_port);
        return fd;
    }

    // Waits for a connection on the listener, giving up when the server is stopped.
    int acceptFrom(int listener) const
    {
        pollfd ready{listener, POLLIN, 0};
        while (!m_stop) {
            if (::poll(&ready, 1, 100) > 0)
                return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        }
        return -1;
    }

    void serve()
    {
        while (!m_stop) {
            const int control = acceptFrom(m_listener);
            if (control < 0)
                continue;
            session(control);
            ::close(control);
        }
    }

    static void sendAll(int fd, const std::string& bytes)
    {
        for (std::size_t sent = 0; sent < bytes.size();) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += static_cast<std::size_t>(n);
        }
    }

    // The next command line, without its line end; empty when the client went away.
    static std::string readCommand(int fd, std::string& pending)
    {
        std::size_t end;
        while ((end = pending.find("\r\n")) == std::string::npos) {
            char block[512];
            const ssize_t n = ::recv(fd, block, sizeof block, 0);
            if (n <= 0)
                return {};
            pending.append(block, static_cast<std::size_t>(n));
        }
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 2);
        return line;
    }

    void session(int control)
    {
        std::string pending;
        std::filesystem::path directory = m_root;
        int passive = -1;
        sendAll(control, "220 Listing server ready\r\n");
        for (;;) {
            const std::string line = readCommand(control, pending);
            const std::string verb = line.substr(0, line.find(' '));
            const std::string argument = line.size() > verb.size() ? line.substr(verb.size() + 1) : "";
            if (line.empty() || verb == "QUIT")
                break;
            if (verb == "USER")
                sendAll(control, "331 Password required\r\n");
            else if (verb == "PASS")
                sendAll(control, "230 Logged in\r\n");
            else if (verb == "SYST")
                sendAll(control, "215 UNIX Type: L8\r\n");
            else if (verb == "TYPE")
                sendAll(control, "200 Type set\r\n");
            else if (verb == "PWD")
                sendAll(control, "257 \"/\"\r\n");
            else if (verb == "CWD") {
                directory = m_root / argument;
                sendAll(control, "250 Directory changed\r\n");
            } else if (verb == "PASV" || verb == "EPSV") {
                std::uint16_t port = 0;
                if (passive >= 0)
                    ::close(passive);
                passive = listenOnLoopback(port);
                sendAll(control, verb == "EPSV"
                    ? "229 Entering Extended Passive Mode (|||" + std::to_string(port) + "|)\r\n"
                    : "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + ","
                          + std::to_string(port % 256) + ")\r\n");
            } else if (verb == "LIST" && passive >= 0) {
                sendAll(control, "150 Here comes the listing\r\n");
                const int data = acceptFrom(passive);
                ::close(passive);
                passive = -1;
                if (data >= 0) {
                    sendListing(data, directory);
                    ::close(data);
                }
                sendAll(control, "226 Directory send OK\r\n");
            } else
                sendAll(control, "502 Command not implemented\r\n");
        }
        if (passive >= 0)
            ::close(passive);
    }

    // "-rw-r--r--    1 1000     1000         4999 Jun 20 10:15 file 004999.dat"
    static void sendListing(int data, const std::filesystem::path& directory)
    {
        constexpr std::size_t kBlock = 65536;
        std::string block;
        block.reserve(kBlock + 512);
        DIR* dir = ::opendir(directory.c_str());
        if (dir == nullptr)
            return;
        const int dirFd = ::dirfd(dir);
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            struct stat info{};
            if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            char date[32];
            tm local{};
            ::localtime_r(&info.st_mtime, &local);
            std::strftime(date, sizeof date, "%b %d %H:%M", &local);
            char line[512];
            const int n = std::snprintf(line, sizeof line, "%s    1 %-8u %-8u %12lld %s %s\r\n",
                                        S_ISDIR(info.st_mode) ? "drwxr-xr-x" : "-rw-r--r--",
                                        info.st_uid, info.st_gid, static_cast<long long>(info.st_size),
                                        date, entry->d_name);
            block.append(line, static_cast<std::size_t>(std::min<int>(n, sizeof line - 1)));
            if (block.size() >= kBlock) {
                sendAll(data, block);
                block.clear();
            }
        }
        ::closedir(dir);
        sendAll(data, block);
    }

    std::filesystem::path m_root;
    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace bench
