// Fills and sorts a file pane with 100,000 rows and prints the time of each step: making the
// rows (texts included), listing a real directory of that many files, a whole refresh of the
// local pane, filling the view, the sorts by each column, and painting the first screen.
#include "app/panes/LocalFiles.h"
#include "app/panes/PaneView.h"
#include "model/PaneSort.h"
#include "model/PaneText.h"
#include "support/FtpServerProcess.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace {

constexpr int kRows = 100000;

class Stopwatch {
public:
    double millisecondsAndRestart()
    {
        const auto now = std::chrono::steady_clock::now();
        const double elapsed = std::chrono::duration<double, std::milli>(now - m_start).count();
        m_start = now;
        return elapsed;
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

std::vector<PaneRow> syntheticRows()
{
    std::mt19937_64 random(42);
    std::vector<PaneRow> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        PaneRow row;
        row.name = "file_" + std::to_string(random() % 1000000) + (i % 3 ? ".txt" : ".DAT");
        const bool directory = i % 20 == 0;
        row.typeText = directory ? kDirectoryType : kFileType;
        row.size = directory ? -1 : static_cast<std::int64_t>(random() % 5000000000ULL);
        row.sizeText = directory ? std::string() : sizeText(row.size, ",");
        const std::time_t time = 1000000000 + static_cast<std::time_t>(random() % 700000000);
        row.modifiedText = localDateText(time);
        row.modified = localDateKey(time);
        rows.push_back(std::move(row));
    }
    return rows;
}

void makeFiles(const std::string& directory)
{
    for (int i = 0; i < kRows; ++i) {
        const std::string path = directory + "/entry" + std::to_string(i) + ".dat";
        const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0)
            close(fd);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    Stopwatch watch;

    std::vector<PaneRow> rows = syntheticRows();
    std::printf("make %d rows with size and date texts: %8.1f ms\n", kRows, watch.millisecondsAndRestart());

    TempDir directory("tarn-bench-pane");
    makeFiles(directory.path().string());
    watch.millisecondsAndRestart();
    auto listed = listLocalEntries(directory.path().string());
    std::printf("list a directory of %zu files:            %8.1f ms\n",
                listed ? listed->size() : 0, watch.millisecondsAndRestart());
    {
        // The whole refresh of the local pane: list, fill, sort newest first.
        PaneView local(kLocalPaneTag);
        watch.millisecondsAndRestart();
        auto rows = listLocalEntries(directory.path().string());
        local.setRows(std::move(*rows));
        local.sortIfSorted();
        std::printf("refresh: list, fill, sort newest first:   %8.1f ms\n",
                    watch.millisecondsAndRestart());
    }

    PaneView view(kLocalPaneTag);
    view.resize(800, 600);
    view.show();
    QApplication::processEvents();
    watch.millisecondsAndRestart();
    view.setRows(std::move(rows));
    std::printf("fill the view (one reset):                %8.1f ms\n", watch.millisecondsAndRestart());

    const char* const names[] = {"Name", "Size", "Modified", "Type"};
    for (int column = 0; column < 4; ++column) {
        for (bool ascending : {true, false}) {
            view.paneModel()->sortRows(column, ascending);
            std::printf("sort by %-8s %-10s                  %8.1f ms\n", names[column],
                        ascending ? "ascending" : "descending", watch.millisecondsAndRestart());
        }
    }
    view.selectRow(0);
    view.selectRow(kRows - 1);
    watch.millisecondsAndRestart();
    view.paneModel()->sortRows(0, true);
    std::printf("sort by Name with two rows selected:      %8.1f ms\n", watch.millisecondsAndRestart());
    const QPixmap shot = view.grab();
    std::printf("paint the first screen:                   %8.1f ms\n", watch.millisecondsAndRestart());
    return shot.isNull() ? 1 : 0;
}
