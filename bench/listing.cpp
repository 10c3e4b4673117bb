// Listing benchmark: a directory of 100,000 files on the real server (pyftpdlib), listed
// and parsed into TIdFTPListItems by TIdFTP, against curl's raw LIST of the same directory
// in the same run, alternating; then the parser alone on the received lines, in lines per
// second. Last line: list_vs_curl (our LIST + parse time / curl's).
#include "BenchSupport.h"
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

} // namespace

int main(int argc, char** argv)
{
    const int runs = bench::runsFromArguments(argc, argv, 5);
    TempDir root("tarn-bench-list");
    fillDirectory(root.path() / "many");
    FtpServerProcess server(root.path());

    std::vector<double> ours, curl;
    std::int64_t entries = 0;
    std::vector<std::string> lines;
    for (int run = 0; run < runs; ++run) {
        ours.push_back(ourListing(server.port(), entries, lines));
        if (entries != kFileCount) {
            std::cerr << "parsed " << entries << " entries, expected " << kFileCount << "\n";
            return 1;
        }
        curl.push_back(curlListing(server.port()));
    }
    std::printf("%d files listed from pyftpdlib, %d runs each, median seconds\n", kFileCount, runs);
    std::printf("ours  LIST + parse  %8.3f s\n", bench::median(ours));
    std::printf("curl  raw LIST      %8.3f s\n", bench::median(curl));
    std::printf("parse alone         %8.0f lines/s\n", parsedLinesPerSecond(lines, 2 * runs + 1));
    std::printf("peak_rss_mib=%.1f\n", bench::peakResidentMiB());
    std::printf("list_vs_curl=%.2f\n", bench::median(ours) / bench::median(curl));
    return 0;
}
