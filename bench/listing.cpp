// Listing benchmark: a directory of 100,000 files listed and parsed into TIdFTPListItems by
// TIdFTP, against curl's raw LIST of the same directory in the same run, alternating: from the
// real server (pyftpdlib), then from a fast compiled server, where the client's own cost shows;
// then the parser alone on the received lines, in lines per second. Last line: list_vs_curl
// (our LIST + parse time / curl's, from the fast server).
#include "BenchSupport.h"
#include "ListingServer.h"
#include "ftp/IdFTP.h"
#include "support/FtpServerProcess.h"

#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kFileCount = 100000;

void fillDirectory(const fs::path& directory)
{
    fs::create_directory(directory);
    char name[64];
    for (int i = 0; i < kFileCount; ++i) {
        std::snprintf(name, sizeof name, "file %06d.dat", i);
        const int fd = open((directory / name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0)
            throw std::runtime_error("cannot create the listing files");
        if (ftruncate(fd, i % 5000) != 0) // sparse: sizes without disk use
            throw std::runtime_error("cannot size the listing files");
        close(fd);
    }
}

double ourListing(std::uint16_t port, std::int64_t& entries, std::vector<std::string>& lines)
{
    TIdFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = port;
    ftp.SetUsername(FtpServerProcess::kUser);
    ftp.SetPassword(FtpServerProcess::kPassword);
    ftp.Passive = true;
    ftp.RecvBufferSize = 8192; // the window's setting
    ftp.SendBufferSize = 4096;
    // Timed like curl's whole run: login, directory change, listing (and parse), QUIT.
    const double elapsed = bench::seconds([&] {
        ftp.OpenSession();
        ftp.SetTransferType(TIdFTPTransferType::ftASCII);
        ftp.ChangeDirectory("many");
        ftp.ListDirectory();
        entries = ftp.ParsedListing().Count();
        ftp.CloseSession();
    });
    lines = ftp.ListingLines();
    return elapsed;
}

double curlListing(std::uint16_t port)
{
    const std::string url = "ftp://" + std::string(FtpServerProcess::kUser) + ":"
                          + FtpServerProcess::kPassword + "@127.0.0.1:" + std::to_string(port) + "/many/";
    return bench::seconds([&] {
        if (!bench::runCurl({"-o", "/dev/null", url}))
            throw std::runtime_error("curl listing failed");
    });
}

// The parser alone: the common Unix lines of the listing, loaded again and again.
double parsedLinesPerSecond(const std::vector<std::string>& lines, int runs)
{
    TIdFTPListItems items;
    items.SetLineFormat(items.DetectFormat(lines.front(), true));
    std::vector<double> rates;
    for (int run = 0; run < runs; ++run) {
        const double elapsed = bench::seconds([&] { items.LoadLines(lines); });
        rates.push_back(static_cast<double>(lines.size()) / elapsed);
    }
    return bench::median(rates);
}

// Our listing and curl's from the server on `port`, alternating; prints the medians and
// answers ours / curl's.
double compareWithCurl(const char* serverName, std::uint16_t port, int runs, std::vector<std::string>& lines)
{
    std::vector<double> ours, curl;
    for (int run = 0; run < runs; ++run) {
        std::int64_t entries = 0;
        ours.push_back(ourListing(port, entries, lines));
        if (entries != kFileCount)
            throw std::runtime_error("parsed " + std::to_string(entries) + " entries, expected "
                                     + std::to_string(kFileCount));
        curl.push_back(curlListing(port));
    }
    std::printf("%d files listed from %s, %d runs each, median seconds\n", kFileCount, serverName, runs);
    std::printf("ours  LIST + parse  %8.3f s\n", bench::median(ours));
    std::printf("curl  raw LIST      %8.3f s\n", bench::median(curl));
    return bench::median(ours) / bench::median(curl);
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = bench::runsFromArguments(argc, argv, 5);
    TempDir root("tarn-bench-list");
    fillDirectory(root.path() / "many");
    std::vector<std::string> lines;
    double slowRatio = 0;
    {
        FtpServerProcess server(root.path());
        slowRatio = compareWithCurl("pyftpdlib", server.port(), runs, lines);
    }
    bench::ListingServer fast(root.path());
    const double ratio = compareWithCurl("the fast server", fast.port(), 2 * runs + 1, lines);
    std::printf("parse alone         %8.0f lines/s\n", parsedLinesPerSecond(lines, 2 * runs + 1));
    std::printf("peak_rss_mib=%.1f\n", bench::peakResidentMiB());
    std::printf("list_vs_curl_pyftpdlib=%.2f\n", slowRatio);
    std::printf("list_vs_curl=%.2f\n", ratio);
    return 0;
}
