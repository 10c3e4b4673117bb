// The test fixture's server process and small file helpers.
#include "support/FtpServerProcess.h"

#include "ftp/IdFTP.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <random>
#include <stdexcept>
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

std::string readTaggedLine(int fd, const std::string& tag, std::chrono::milliseconds deadline)
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
        if (c != '\n') {
            line += c;
            continue;
        }
        if (line.rfind(tag, 0) == 0)
            return line.substr(tag.size());
        line.clear();
    }
    return {};
}

FtpServerProcess::FtpServerProcess(const fs::path& root, const std::string& host,
                                   const std::vector<std::string>& options)
    : m_root(root)
{
    Pipe input;
    Pipe output;
    std::vector<std::string> arguments{TARN_PYTHON, TARN_FTP_SERVER_SCRIPT, "--root", root.string(),
                                       "--user", kUser, "--password", kPassword, "--host", host};
    arguments.insert(arguments.end(), options.begin(), options.end());
    m_server = std::make_unique<ChildProcess>(arguments, input.readEnd.get(), output.writeEnd.get());
    // Only the child holds these ends now: the port read ends if the server dies.
    input.readEnd.reset();
    output.writeEnd.reset();
    m_input = std::move(input.writeEnd);
    const std::string port = readTaggedLine(output.readEnd.get(), "PORT ", std::chrono::seconds(20));
    m_port = port.empty() ? 0 : static_cast<std::uint16_t>(std::stoi(port));
    if (m_port == 0)
        throw std::runtime_error("the FTP test server did not start (is python3-pyftpdlib installed?)");
}

FtpServerProcess::~FtpServerProcess() = default;

void aimAtServer(TIdFTP& ftp, const FtpServerProcess& server, const std::string& host)
{
    ftp.Host = host;
    ftp.Port = server.port();
    ftp.SetUsername(FtpServerProcess::kUser);
    ftp.SetPassword(FtpServerProcess::kPassword);
    ftp.Passive = true;
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

const std::string& keyringBusAddress()
{
    struct Session {
        std::unique_ptr<ChildProcess> process;
        UniqueFd input;
        std::string address;
    };
    // Never destroyed: the script's input closes only when this process ends, and so the bus.
    static const Session& session = *[] {
        Pipe input;
        Pipe output;
        auto* started = new Session{std::make_unique<ChildProcess>(std::vector<std::string>{TARN_KEYRING_SESSION_SCRIPT},
                                                                   input.readEnd.get(), output.writeEnd.get()),
                                    std::move(input.writeEnd), {}};
        output.writeEnd.reset();
        started->address = readTaggedLine(output.readEnd.get(), "BUS ", std::chrono::seconds(30));
        if (started->address.empty())
            throw std::runtime_error("the test keyring did not start (are gnome-keyring and libsecret-tools installed?)");
        return started;
    }();
    return session.address;
}
