// Appends 100,000 lines to the trace pane of a shown window, the way a long session does (a
// reply block of two lines at a time), and prints the time of each tenth: appending stays
// as cheap at the end as at the start, and a repaint of the full pane costs little.
#include "app/window/FTPUnit.h"
#include "net/IdLogEvent.h"
#include "platform/Dialogs.h"
#include "support/FtpServerProcess.h"

#include <QApplication>
#include <QPlainTextEdit>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kLines = 100000;
constexpr int kTenth = kLines / 10;

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char* argv[])
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TempDir config("tarn-bench-trace");
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    QApplication application(argc, argv);
    installDialogs(std::make_unique<ScriptedDialogs>());
    TFTPForm window({QStringLiteral("tarn")});
    window.runSiteEditor = [](char) { return false; };   // no first-site question in between
    window.show();
    QApplication::processEvents();

    QPlainTextEdit& trace = *window.findChild<QPlainTextEdit*>("RTFLog");
    std::vector<double> tenths;
    const auto whole = std::chrono::steady_clock::now();
    auto tenth = whole;
    for (int line = 0; line < kLines; line += 2) {
        std::string block = "150-Opening BINARY mode data connection for file_" + std::to_string(line)
                            + ".bin\r\n226 Transfer complete.\r\n";
        window.traceLog().HandleReceive(block);
        if ((line + 2) % kTenth == 0) {
            QApplication::processEvents();
            tenths.push_back(millisecondsSince(tenth));
            tenth = std::chrono::steady_clock::now();
        }
    }
    const double total = millisecondsSince(whole);
    const auto paint = std::chrono::steady_clock::now();
    trace.viewport()->repaint();
    const double repaint = millisecondsSince(paint);
    for (std::size_t i = 0; i < tenths.size(); ++i)
        std::printf("lines %6d-%6d: %8.1f ms\n", static_cast<int>(i) * kTenth, static_cast<int>(i + 1) * kTenth, tenths[i]);
    std::printf("trace_lines=%d total_ms=%.0f last_vs_first_tenth=%.2f repaint_ms=%.1f\n",
                trace.document()->blockCount(), total, tenths.back() / tenths.front(), repaint);
    installDialogs(nullptr);
    return 0;
}
