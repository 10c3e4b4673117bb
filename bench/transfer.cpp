// Transfer benchmark: a 1 GiB file downloaded from the real server (pyftpdlib) over loopback
// into a local file and uploaded back, by TIdFTP with the window's buffer sizes, by TIdFTP
// with the class defaults, and by curl, alternating, several runs each. Prints the median
// MiB/s of each, peak memory, and last the ratios of the window's settings to curl.
#include "TransferRunner.h"

#include <map>

using namespace bench;

int main(int argc, char** argv)
{
    const int runs = bench::runsFromArguments(argc, argv, 5);
    TempDir root("tarn-bench-root");
    TempDir local("tarn-bench-local");
    writeBigFile(root.path() / "big.bin");
    FtpServerProcess server(root.path());
    Runner runner(server, local.path());

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
