// Transfer benchmark: a 1 GiB file downloaded from the real server (pyftpdlib) over loopback
// into a local file and uploaded back, by TIdFTP with the window's buffer sizes, by TIdFTP
// with the class defaults, and by curl, alternating, several runs each. Prints the median
// MiB/s of each, peak memory, and last the ratios of the window's settings to curl.
#include "BenchSupport.h"
#include "ftp/IdFTP.h"
#include "support/FtpServerProcess.h"
#include "support/ScriptedFtpServer.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kFileSize = std::int64_t{1} << 30;
constexpr double kMiB = 1024.0 * 1024.0;

struct Config {
    const char* name;
    int recvBufferSize;
    int sendBufferSize;
};

void writeBigFile(const fs::path& file)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (std::int64_t at = 0; at < kFileSize; at += ScriptedFtpServer::kMaxSpan) {
        const std::string_view span = ScriptedFtpServer::generatedSpan(at, ScriptedFtpServer::kMaxSpan);
        out.write(span.data(), static_cast<std::streamsize>(span.size()));
    }
}

void requireSize(const fs::path& file, const char* who)
{
    std::error_code error;
    if (fs::file_size(file, error) != static_cast<std::uintmax_t>(kFileSize)) {
        std::cerr << who << ": " << file << " has the wrong size\n";
        std::exit(1);
    }
}

class Runner {
public:
    Runner(const fs::path& root, const fs::path& local, std::uint16_t port)
        : m_root(root), m_local(local), m_port(port) {}

    double ours(const Config& config, bool download)
    {
        TIdFTP ftp;
        ftp.Host = "127.0.0.1";
        ftp.Port = m_port;
        ftp.SetUsername(FtpServerProcess::kUser);
        ftp.SetPassword(FtpServerProcess::kPassword);
        ftp.Passive = true;
        ftp.RecvBufferSize = config.recvBufferSize;
        ftp.SendBufferSize = config.sendBufferSize;
        // Timed like curl's whole run: login, transfer, QUIT.
        if (download)
            return timedDownload([&](const std::string& target) {
                ftp.OpenSession();
                ftp.Download("big.bin", target);
                ftp.CloseSession();
            });
        return timedUpload([&](const std::string& source, const std::string& name) {
            ftp.OpenSession();
            ftp.Upload(source, name);
            ftp.CloseSession();
        });
    }

    double curl(bool download)
    {
        const std::string base = "ftp://" + std::string(FtpServerProcess::kUser) + ":"
                               + FtpServerProcess::kPassword + "@127.0.0.1:" + std::to_string(m_port) + "/";
        if (download)
            return timedDownload([&](const std::string& target) {
                if (!bench::runCurl({"-o", target, base + "big.bin"}))
                    throw std::runtime_error("curl download failed");
            });
        return timedUpload([&](const std::string& source, const std::string& name) {
            if (!bench::runCurl({"-T", source, base + name}))
                throw std::runtime_error("curl upload failed");
        });
    }

private:
    double timedDownload(const std::function<void(const std::string&)>& download)
    {
        const fs::path target = m_local / "down.bin";
        fs::remove(target);
        const double time = bench::seconds([&] { download(target.string()); });
        requireSize(target, "download");
        fs::remove(target);
        return time;
    }

    double timedUpload(const std::function<void(const std::string&, const std::string&)>& upload)
    {
        fs::remove(m_root / "up.bin");
        const double time = bench::seconds([&] { upload((m_root / "big.bin").string(), "up.bin"); });
        requireSize(m_root / "up.bin", "upload");
        fs::remove(m_root / "up.bin");
        return time;
    }

    fs::path m_root;
    fs::path m_local;
    std::uint16_t m_port;
};

} // namespace

int main(int argc, char** argv)
{
    const int runs = bench::runsFromArguments(argc, argv, 5);
    TempDir root("tarn-bench-root");
    TempDir local("tarn-bench-local");
    writeBigFile(root.path() / "big.bin");
    FtpServerProcess server(root.path());
    Runner runner(root.path(), local.path(), server.port());

    const Config window{"ours(recv 8192, send 4096)", 8192, 4096};
    const Config defaults{"ours(class defaults 32768)", TIdTCPConnection::kDefaultBufferSize,
                          TIdTCPConnection::kDefaultBufferSize};
    std::map<std::string, std::vector<double>> down, up;
    for (int run = 0; run < runs; ++run) {
        down[window.name].push_back(runner.ours(window, true));
        down["curl"].push_back(runner.curl(true));
        down[defaults.name].push_back(runner.ours(defaults, true));
        up[window.name].push_back(runner.ours(window, false));
        up["curl"].push_back(runner.curl(false));
        up[defaults.name].push_back(runner.ours(defaults, false));
    }

    auto rate = [](const std::vector<double>& times) { return kFileSize / kMiB / bench::median(times); };
    std::printf("1 GiB over loopback from pyftpdlib, %d runs each, median MiB/s\n", runs);
    for (const char* name : {window.name, defaults.name, "curl"})
        std::printf("download %-28s %8.1f MiB/s\n", name, rate(down[name]));
    for (const char* name : {window.name, defaults.name, "curl"})
        std::printf("upload   %-28s %8.1f MiB/s\n", name, rate(up[name]));
    std::printf("peak_rss_mib=%.1f\n", bench::peakResidentMiB());
    std::printf("download_vs_curl=%.2f upload_vs_curl=%.2f\n",
                rate(down[window.name]) / rate(down["curl"]), rate(up[window.name]) / rate(up["curl"]));
    return 0;
}
