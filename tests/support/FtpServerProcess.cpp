// The test fixture's server process and small file helpers.
#include "support/FtpServerProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <random>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

TempDir::TempDir(const std::string& prefix)
{
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("mkdtemp failed: " + std::string(std::strerror(errno)));
    m_path = buffer.data();
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

namespace {

// Reads the "PORT n" line the server prints once it listens, waiting at most `deadline`.
std::uint16_t readPortLine(int fd, std::chrono::milliseconds deadline)
{
    std::string line;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (poll(&p, 1, static_cast<int>(std::max<long>(1, left.count()))) <= 0)
            continue;
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n <= 0)
            break;
        if (c == '\n') {
            if (line.rfind("PORT ", 0) == 0)
                return static_cast<std::uint16_t>(std::stoi(line.substr(5)));
            line.clear();
        } else {
            line += c;
        }
    }
    return 0;
}

} // namespace

FtpServerProcess::FtpServerProcess(const fs::path& root) : m_root(root)
{
    int toChild[2];
    int fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0)
        throw std::runtime_error("pipe failed");
    m_pid = fork();
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
    if (m_pid == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        close(toChild[1]);
        close(fromChild[0]);
        const std::string rootText = root.string();
        execl(TARN_PYTHON, TARN_PYTHON, TARN_FTP_SERVER_SCRIPT, "--root", rootText.c_str(),
              "--user", kUser, "--password", kPassword, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    m_stdinFd = toChild[1];
    m_port = readPortLine(fromChild[0], std::chrono::seconds(20));
    close(fromChild[0]);
    if (m_port == 0) {
        this->~FtpServerProcess();
        throw std::runtime_error("the FTP test server did not start (is python3-pyftpdlib installed?)");
    }
}

FtpServerProcess::~FtpServerProcess()
{
    if (m_stdinFd >= 0) {
        close(m_stdinFd);
        m_stdinFd = -1;
    }
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
}

void writePatternFile(const fs::path& file, std::int64_t size, unsigned seed)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::mt19937 generator(seed);
    std::vector<char> block(65536);
    for (std::int64_t written = 0; written < size;) {
        for (auto& c : block)
            c = static_cast<char>(generator());
        const auto chunk = static_cast<std::streamsize>(
            std::min<std::int64_t>(static_cast<std::int64_t>(block.size()), size - written));
        out.write(block.data(), chunk);
        written += chunk;
    }
}

std::string readWholeFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeWholeFile(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
