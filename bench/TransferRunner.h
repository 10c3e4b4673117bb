// The transfer benchmarks' common part: a 1 GiB file on the server, and timed downloads and
// uploads of it by a TIdFTP session and by curl, each checked for its size afterwards.
#pragma once

#include "BenchSupport.h"
#include "ftp/IdFTP.h"
#include "support/FtpServerProcess.h"
#include "support/ScriptedFtpServer.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace bench {

namespace fs = std::filesystem;

constexpr std::int64_t kFileSize = std::int64_t{1} << 30;
constexpr double kMiB = 1024.0 * 1024.0;

struct Config {
    const char* name;
    int recvBufferSize;
    int sendBufferSize;
};

inline void writeBigFile(const fs::path& file)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (std::int64_t at = 0; at < kFileSize; at += ScriptedFtpServer::kMaxSpan) {
        const std::string_view span = ScriptedFtpServer::generatedSpan(at, ScriptedFtpServer::kMaxSpan);
        out.write(span.data(), static_cast<std::streamsize>(span.size()));
    }
}

inline void requireSize(const fs::path& file, const char* who)
{
    std::error_code error;
    if (fs::file_size(file, error) != static_cast<std::uintmax_t>(kFileSize)) {
        std::cerr << who << ": " << file << " has the wrong size\n";
        std::exit(1);
    }
}

// `prepare` sets up each session (TLS settings, say) and `curlOptions` go before curl's URL.
class Runner {
public:
    Runner(const FtpServerProcess& server, const fs::path& local,
           std::function<void(TIdFTP&)> prepare = {}, std::vector<std::string> curlOptions = {})
        : m_server(server), m_root(server.root()), m_local(local), m_port(server.port()),
          m_prepare(std::move(prepare)), m_curlOptions(std::move(curlOptions)) {}

    double ours(const Config& config, bool download)
    {
        TIdFTP ftp;
        aimAtServer(ftp, m_server);
        ftp.RecvBufferSize = config.recvBufferSize;
        ftp.SendBufferSize = config.sendBufferSize;
        if (m_prepare)
            m_prepare(ftp);
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
        auto withOptions = [this](std::vector<std::string> arguments) {
            arguments.insert(arguments.begin(), m_curlOptions.begin(), m_curlOptions.end());
            return arguments;
        };
        if (download)
            return timedDownload([&](const std::string& target) {
                if (!bench::runCurl(withOptions({"-o", target, base + "big.bin"})))
                    throw std::runtime_error("curl download failed");
            });
        return timedUpload([&](const std::string& source, const std::string& name) {
            if (!bench::runCurl(withOptions({"-T", source, base + name})))
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

    const FtpServerProcess& m_server;
    fs::path m_root;
    fs::path m_local;
    std::uint16_t m_port;
    std::function<void(TIdFTP&)> m_prepare;
    std::vector<std::string> m_curlOptions;
};

} // namespace bench
