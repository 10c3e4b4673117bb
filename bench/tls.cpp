// FTP over TLS benchmark: a 1 GiB file downloaded and uploaded over explicit TLS against the
// TLS test server (pyftpdlib), by Tarn's session with the window's buffer sizes and by
// curl --ssl-reqd, alternating, in the same run. The last line gives the time ratios to curl
// (below 1.0: Tarn was faster).
#include "TransferRunner.h"

using namespace bench;

int main(int argc, char** argv)
{
    const int runs = runsFromArguments(argc, argv, 3);
    TempDir root("tarn-bench-tls-root");
    TempDir local("tarn-bench-tls-local");
    writeBigFile(root.path() / "big.bin");
    FtpServerProcess server(root.path(), "127.0.0.1",
                            {"--tls", "explicit", "--tls-cert", (local.path() / "cert.pem").string(),
                             "--tls-require-reuse"});
    // The test server's certificate is self-signed: both clients are told to accept it.
    Runner runner(
        server, local.path(),
        [](TIdFTP& ftp) {
            ftp.TLSSettings.Mode = TIdUseTLS::utUseRequireTLS;
            ftp.TLSSettings.OnVerifyPeer = [](const TIdTLSCertificateInfo&, const std::string&, int) {
                return true;
            };
        },
        {"--ssl-reqd", "--insecure"});

    const Config window{"tarn", 8192, 4096};
    std::vector<double> down, up, curlDown, curlUp;
    for (int run = 0; run < runs; ++run) {
        down.push_back(runner.ours(window, true));
        curlDown.push_back(runner.curl(true));
        up.push_back(runner.ours(window, false));
        curlUp.push_back(runner.curl(false));
    }
    auto rate = [](double seconds) { return kFileSize / kMiB / seconds; };
    std::printf("1 GiB over explicit TLS from pyftpdlib, %d runs each, median time\n", runs);
    std::printf("download tarn %7.2f s (%6.1f MiB/s)  curl %7.2f s (%6.1f MiB/s)\n", median(down),
                rate(median(down)), median(curlDown), rate(median(curlDown)));
    std::printf("upload   tarn %7.2f s (%6.1f MiB/s)  curl %7.2f s (%6.1f MiB/s)\n", median(up),
                rate(median(up)), median(curlUp), rate(median(curlUp)));
    std::printf("peak_rss_mib=%.1f\n", peakResidentMiB());
    std::printf("tls_download_vs_curl=%.2f tls_upload_vs_curl=%.2f\n", median(down) / median(curlDown),
                median(up) / median(curlUp));
    return 0;
}
