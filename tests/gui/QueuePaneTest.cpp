// The queue in the window against the real server: Add to queue and drops feed it, its tab
// shows every item and the totals, the exists question comes once per run, and the queue
// outlives the window.
#include "ConnectedWindowSupport.h"

#include "app/window/QueueTableModel.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTableView>
#include <QUrl>

namespace fs = std::filesystem;

class QueueWindow : public ConnectedWindowFixture {
protected:
    QAbstractItemModel& rows() const { return *partOf<QTableView>(*window, "QueueTable")->model(); }
    QString cell(int row, int column) const { return rows().index(row, column).data().toString(); }
    QStringList column(int which) const
    {
        QStringList texts;
        for (int row = 0; row < rows().rowCount(); ++row)
            texts << cell(row, which);
        return texts;
    }
    bool allDone() const
    {
        return rows().rowCount() > 0 && column(QueueTableModel::State).count("Done") == rows().rowCount()
            && !actionOf(*window, "acQueueStop")->isEnabled();
    }
    void waitUntilAllDone() const
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return allDone(); }, 120000)) << column(QueueTableModel::Reason).join('\n').toStdString();
    }
    static void makeTree(const fs::path& root, unsigned seed)
    {
        fs::create_directories(root / "deep" / "empty");
        writePatternFile(root / "big one.bin", 300000, seed);
        writePatternFile(root / "zero", 0, seed);
        writePatternFile(root / "deep" / "b\xC3\xA4r.txt", 4000, seed + 1);
    }
    // Relative path -> bytes ("/" for a folder).
    static std::map<std::string, std::string> contents(const fs::path& root)
    {
        std::map<std::string, std::string> tree;
        for (const auto& entry : fs::recursive_directory_iterator(root))
            tree[entry.path().lexically_relative(root).string()] = entry.is_directory() ? "/" : readWholeFile(entry.path());
        return tree;
    }
    static void drop(PaneView* pane, const QMimeData& data)
    {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(pane->viewport(), &enter);
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(pane->viewport(), &event);
    }
};

TEST_F(QueueWindow, AddToQueueMovesWholeFoldersBothWaysOnTwoConnections)
{
    makeTree(localDir.path() / "up", 3);
    makeTree(serverRoot.path() / "down", 7);
    connectToRealServer();
    selectLocal({"up"});
    ASSERT_TRUE(actionOf(*window, "acLocalQueue")->isEnabled());
    actionOf(*window, "acLocalQueue")->trigger();
    waitUntilAllDone();
    EXPECT_EQ(contents(serverRoot.path() / "up"), contents(localDir.path() / "up"));

    selectRemote({"down"});
    ASSERT_TRUE(actionOf(*window, "acRemoteQueue")->isEnabled());
    actionOf(*window, "acRemoteQueue")->trigger();
    waitUntilAllDone();
    EXPECT_EQ(contents(localDir.path() / "down"), contents(serverRoot.path() / "down"));
    EXPECT_EQ(rows().rowCount(), 2 * 6) << "two folders, two sub-folders and three files each";
    EXPECT_TRUE(partOf<QLabel>(*window, "QueueTotals")->text().startsWith("Left: 0 file(s), 0 bytes"))
        << partOf<QLabel>(*window, "QueueTotals")->text().toStdString();
}

TEST_F(QueueWindow, DropsQueueFromPaneToPaneAndFromTheDesktop)
{
    writePatternFile(serverRoot.path() / "r.txt", 1000);
    TempDir desktop("tarn-desktop");
    writePatternFile(desktop.path() / "d.bin", 500);
    connectToRealServer();
    selectLocal({"alpha.txt", "sub"});
    drop(paneOf(*window, "LVL"), *paneOf(*window, "LVL")->dragData());
    EXPECT_EQ(rows().rowCount(), 0) << "a pane takes no drop of its own rows";
    drop(paneOf(*window, "LVR"), *paneOf(*window, "LVL")->dragData());
    selectRemote({"r.txt"});
    drop(paneOf(*window, "LVL"), *paneOf(*window, "LVR")->dragData());
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString((desktop.path() / "d.bin").string()))});
    drop(paneOf(*window, "LVR"), files);
    waitUntilAllDone();
    QStringList moved;
    for (int row = 0; row < rows().rowCount(); ++row)
        moved << cell(row, QueueTableModel::Direction) + " " + cell(row, QueueTableModel::LocalPath) + " "
                     + cell(row, QueueTableModel::RemotePath);
    moved.sort();
    const QString local = QString::fromStdString(localFolder());
    EXPECT_EQ(moved, (QStringList{"Download " + local + "r.txt /r.txt",
                                  "Upload " + QString::fromStdString((desktop.path() / "d.bin").string()) + " /d.bin",
                                  "Upload " + local + "alpha.txt /alpha.txt", "Upload " + local + "sub/ /sub/"}));
    EXPECT_EQ(serverFile("d.bin"), readWholeFile(desktop.path() / "d.bin"));
}

TEST_F(QueueWindow, ExistingTargetsAreAskedAboutOncePerRunAndTheChoiceIsOfferedNextTime)
{
    fs::create_directories(localDir.path() / "many");
    fs::create_directories(serverRoot.path() / "many");
    for (int i = 0; i < 6; ++i) {
        writePatternFile(localDir.path() / "many" / ("f" + std::to_string(i)), 100 + i, 1);
        writePatternFile(serverRoot.path() / "many" / ("f" + std::to_string(i)), 50, 2);
    }
    const auto before = contents(serverRoot.path() / "many");
    connectToRealServer();
    script->existsAnswers = {{ExistsRule::Skip, true}};
    selectLocal({"many"});
    actionOf(*window, "acLocalQueue")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return column(QueueTableModel::State).count("Skipped") == 6; }, 60000));
    EXPECT_EQ(contents(serverRoot.path() / "many"), before);
    ASSERT_EQ(script->existsQuestions.size(), 1u);
    EXPECT_EQ(script->existsQuestions[0].offered, ExistsRule::Overwrite) << "the first time";

    actionOf(*window, "acQueueClear")->trigger();
    script->existsAnswers = {{ExistsRule::Overwrite, true}};
    actionOf(*window, "acLocalQueue")->trigger();
    waitUntilAllDone();
    EXPECT_EQ(contents(serverRoot.path() / "many"), contents(localDir.path() / "many"));
    ASSERT_EQ(script->existsQuestions.size(), 2u);
    EXPECT_EQ(script->existsQuestions[1].offered, ExistsRule::Skip);
}

TEST_F(QueueWindow, AWindowClosedMidRunLeavesTheRestForTheNextStart)
{
    server = std::make_unique<FtpServerProcess>(serverRoot.path(), "127.0.0.1",
                                                std::vector<std::string>{"--rate", "20000"});
    fs::create_directories(localDir.path() / "slow");
    for (int i = 0; i < 4; ++i)
        writePatternFile(localDir.path() / "slow" / ("f" + std::to_string(i)), 60000, i);
    connectToRealServer();
    selectLocal({"slow"});
    actionOf(*window, "acLocalQueue")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return column(QueueTableModel::State).contains("Running"); }, 60000))
        << column(QueueTableModel::State).join(' ').toStdString() << column(QueueTableModel::Reason).join(' ').toStdString();
    window->close();
    window.reset();

    start();
    show();
    ASSERT_GT(rows().rowCount(), 1);
    EXPECT_TRUE(column(QueueTableModel::State).contains("Waiting"));
    actionOf(*window, "acQueueStart")->trigger();
    waitUntilAllDone();
    EXPECT_EQ(contents(serverRoot.path() / "slow"), contents(localDir.path() / "slow"));
}
