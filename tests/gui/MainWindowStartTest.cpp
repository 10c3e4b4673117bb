// Start-up, the settings record, the command line, activation, closing, Quit and Reset.
#include "MainWindowSupport.h"

#include <QDir>

#include "model/PaneSort.h"
#include "model/SettingsRecord.h"
#include "net/IdException.h"
#include "sites/SiteForm.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>

#include <filesystem>
#include <random>

namespace {

class MainWindowStart : public MainWindowFixture {
protected:
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        std::error_code noFolder;
        for (const auto& entry : std::filesystem::directory_iterator(settingsFolder(), noFolder)) {
            if (entry.path().filename().string().find(".damaged-") != std::string::npos)
                std::filesystem::remove(entry.path());
        }
    }

    static std::filesystem::path settingsFile()
    {
        const Registry registry;
        return registry.storeFileName().toStdString();
    }
    // Replaces the settings file behind the store's back, as another program or a crash would.
    static void damageSettingsFile(const std::string& bytes)
    {
        const std::filesystem::path file = settingsFile();
        std::filesystem::create_directories(file.parent_path());
        writeWholeFile(file, bytes);
    }
    static std::filesystem::path settingsFolder() { return settingsFile().parent_path(); }
    // The one copy of a damaged settings file.
    static std::filesystem::path damagedCopy()
    {
        std::vector<std::filesystem::path> copies;
        for (const auto& entry : std::filesystem::directory_iterator(settingsFolder())) {
            if (entry.path().filename().string().rfind("Tarn.conf.damaged-", 0) == 0)
                copies.push_back(entry.path());
        }
        EXPECT_EQ(copies.size(), 1u);
        return copies.empty() ? std::filesystem::path() : copies.front();
    }

    void expectOneDamageMessage(int sitesKept) const
    {
        ASSERT_EQ(script->boxes.size(), 1u);
        const QString text = script->boxes[0].text;
        EXPECT_TRUE(text.contains(QString::fromStdString(damagedCopy().string()))) << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral("Sites that could be read: %1.").arg(sitesKept))) << text.toStdString();
        EXPECT_EQ(script->boxes[0].icon, MsgIcon::Warning);
    }

    // The site box lists exactly the sites the site commands act on.
    static void expectSiteBoxShowsTheSites(const TFTPForm& form)
    {
        if (SiteCount == 0) {
            ASSERT_EQ(partOf<QComboBox>(form, "tbSite")->count(), 1);
            EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->itemText(0), "- no sites. Create one - ");
            return;
        }
        ASSERT_EQ(partOf<QComboBox>(form, "tbSite")->count(), SiteCount);
        for (int i = 0; i < SiteCount; ++i)
            EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->itemText(i).toStdString(), SiteList[std::size_t(i)].Name);
    }
};

const QStringList kUsageLines = {
    "==>FTP <UploadList>",
    "Where:",
    " Uploadlist = path/name of a text file containing list of files to upload to",
    "  specified sites.",
    " If this file is specified, then each line specifies a site and file thus:",
    "   SITE=sitename  FILE=file path+name",
    " The specified files are uploaded to the FTP site, the program stays connected",
};

TEST_F(MainWindowStart, FirstStartOpensAtTheDefaultGeometryAndAsksForASite)
{
    TFTPForm& form = start({"tarn", "/no/such/upload-list.txt"});
    // The real editor opens; the test reads what it proposes and cancels it.
    QString proposedName;
    QString editorTitle;
    form.runSiteEditor = [&](char mode) {
        editorModes.push_back(mode);
        TSiteForm* editor = form.siteEditor();
        QTimer::singleShot(0, editor, [&, editor] {
            proposedName = editor->sName->text();
            editorTitle = editor->windowTitle();
            editor->CancelButtonClick();
        });
        return editor->ShowModal(mode);
    };
    EXPECT_TRUE(exitCodes.empty()) << "the argument is not looked at without sites";
    EXPECT_FALSE(form.uploadRun().UploadList.has_value());
    show();
    EXPECT_EQ(form.x(), 213);
    EXPECT_EQ(form.y(), 134);
    EXPECT_EQ(form.width(), 840);
    EXPECT_EQ(form.height(), 582);

    ASSERT_TRUE(QTest::qWaitFor([&] { return !editorModes.empty(); }, 3000));
    ASSERT_EQ(script->boxes.size(), 1u);
    EXPECT_EQ(script->boxes[0].text, "No sites defined. You must now create a site");
    EXPECT_EQ(script->boxes[0].icon, MsgIcon::None);
    EXPECT_EQ(script->boxes[0].buttons, std::vector<MsgButton>{MsgButton::Ok});
    EXPECT_EQ(editorModes, std::vector<char>{'N'});
    EXPECT_EQ(proposedName, "Site-1");
    EXPECT_EQ(editorTitle, "Site Window: Create new site");

    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->count(), 1);
    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->itemText(0), "- no sites. Create one - ");
    EXPECT_EQ(partOf<QLineEdit>(form, "LocDir")->text(), QDir::homePath() + "/") << "no site: the home folder stands in";
}

TEST_F(MainWindowStart, FirstSiteSavedFromTheQuestionFillsTheSiteBoxAndLocalPane)
{
    TFTPForm& form = start();
    form.runSiteEditor = [&](char mode) {
        editorModes.push_back(mode);
        storeSites({"first"});
        return true;
    };
    form.FormActivate();
    ASSERT_EQ(editorModes, std::vector<char>{'N'});
    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->count(), 1);
    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->currentText(), "first");
    EXPECT_EQ(partOf<QLineEdit>(form, "LocDir")->text().toStdString(), localFolder());
    EXPECT_EQ(paneOf(form, "LVL")->rowCount(), 4);
}

TEST_F(MainWindowStart, ClosingStoresTheRecordOfTheDefaultGeometry)
{
    storeSites({"one", "two"});
    TFTPForm& form = start();
    show();
    emit partOf<QComboBox>(form, "tbSite")->activated(1);
    ASSERT_EQ(CurrentSite, 1);
    ASSERT_TRUE(form.close());
    const std::vector<std::uint8_t> expected = {0x01, 0x00, 0x86, 0x00, 0xD5, 0x00,
                                                0x46, 0x02, 0x48, 0x03, 0x75, 0x01,
                                                0xAE, 0x00, 0x02, 0x02, 0x00, 0x00};
    EXPECT_EQ(storedSettings(), expected);
}

TEST_F(MainWindowStart, WindowSplittersSortAndSiteComeBackAtTheNextStart)
{
    storeSites({"one", "two", "three"});
    TFTPForm& first = start();
    show();
    first.move(40, 60);
    first.resize(700, 640);
    QTest::qWait(0);
    partOf<QSplitter>(first, "VertSplitter")->setSizes({250, 650});
    partOf<QSplitter>(first, "Splitter1")->setSizes({300, 120});
    emit paneOf(first, "LVL")->header()->sectionClicked(0);  // Name, ascending
    emit paneOf(first, "LVR")->header()->sectionClicked(4);  // Permissions, ascending
    emit paneOf(first, "LVR")->header()->sectionClicked(4);  // again: descending
    emit partOf<QComboBox>(first, "tbSite")->activated(2);
    const QString chosen = QString::fromStdString(SiteList[2].Name);
    const int localWidth = partOf<QSplitter>(first, "VertSplitter")->sizes().value(0);
    const int traceHeight = partOf<QSplitter>(first, "Splitter1")->sizes().value(1);
    ASSERT_TRUE(first.close());
    window.reset();

    // Another run: the settings change in memory before the window reads them back.
    SortColumn[0] = SortColumn[1] = 7;
    TFTPForm& second = start();
    show();
    EXPECT_EQ(second.x(), 40);
    EXPECT_EQ(second.y(), 60);
    EXPECT_EQ(second.width(), 700);
    EXPECT_EQ(second.height(), 640);
    EXPECT_EQ(partOf<QSplitter>(second, "VertSplitter")->sizes().value(0), localWidth);
    EXPECT_EQ(partOf<QSplitter>(second, "Splitter1")->sizes().value(1), traceHeight);
    EXPECT_EQ(SortColumn[0], 0);
    EXPECT_EQ(SortAscending[0], 1);
    EXPECT_EQ(SortColumn[1], 4);
    EXPECT_EQ(SortAscending[1], 0);
    EXPECT_EQ(CurrentSite, 2);
    EXPECT_EQ(partOf<QComboBox>(second, "tbSite")->currentText(), chosen);
    EXPECT_EQ(partOf<QLineEdit>(second, "RemDir")->text(), "/pub/" + chosen);
    // The local pane came back sorted by name, ascending.
    ASSERT_EQ(paneOf(second, "LVL")->rowCount(), 4);
    EXPECT_EQ(paneOf(second, "LVL")->row(0).name, "alpha.txt");
    EXPECT_EQ(paneOf(second, "LVL")->row(3).name, "sub");
}

TEST_F(MainWindowStart, AStoredSiteIndexPastTheListFallsBackToTheFirstSite)
{
    storeSites({"one", "two"});
    storeSettings({0x05, 0x00});  // site 5 of a list that has since shrunk
    TFTPForm& form = start();
    EXPECT_EQ(CurrentSite, 0);
    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->currentText(), "one");
    EXPECT_TRUE(script->boxes.empty());
}

TEST_F(MainWindowStart, SettingsOfTheWrongTypeAreReportedAndTheSitesStillShow)
{
    storeSites({"one", "two"});
    {
        Registry registry;
        ASSERT_TRUE(registry.openKey(Registry::kProgramKey, false));
        registry.writeString("TarnSettings", "not a record");
        registry.closeKey();
    }
    TFTPForm& form = start();
    ASSERT_EQ(script->boxes.size(), 1u);
    EXPECT_EQ(script->boxes[0].text, "Invalid data type for 'TarnSettings'");
    EXPECT_EQ(script->boxes[0].icon, MsgIcon::Error);
    expectSiteBoxShowsTheSites(form);
    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->currentText(), "one");
    EXPECT_EQ(form.width(), 840) << "the default geometry stays";
    EXPECT_EQ(paneOf(form, "LVL")->rowCount(), 4);
    EXPECT_TRUE(exitCodes.empty());
}

// A settings file that cannot be read as settings: its bytes are kept under a dated name, the
// user is told in one message, and the sites that could be read are the ones shown.
TEST_F(MainWindowStart, RandomBytesInTheSettingsFileAreKeptAsideAndReported)
{
    std::mt19937 random(7);
    std::string garbage(4096, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random());
    damageSettingsFile(garbage);
    // An earlier start was ended after keeping the same bytes: they are not copied again.
    const auto earlier = settingsFolder() / "Tarn.conf.damaged-20260101-000000";
    writeWholeFile(earlier, garbage);
    TFTPForm& form = start();
    expectOneDamageMessage(0);
    EXPECT_EQ(damagedCopy(), earlier);
    EXPECT_EQ(SiteCount, 0);
    expectSiteBoxShowsTheSites(form);
    EXPECT_FALSE(Registry().storeUnreadable()) << "the store was rewritten readable";
}

TEST_F(MainWindowStart, AWindowLargerThanTheScreenComesBackInsideIt)
{
    storeSites({"one"});
    const TarnSettingsBytes saved = packSettings({.Top = 200, .Left = 300, .Height = 1000, .Width = 1600});
    storeSettings({saved.begin(), saved.end()});
    TFTPForm& form = start();
    show();
    EXPECT_TRUE(form.screen()->availableGeometry().contains(form.frameGeometry()));
}

TEST_F(MainWindowStart, ATruncatedSettingsFileKeepsTheSitesThatCanBeRead)
{
    storeSites({"one", "two"});
    storeSettings({0x01, 0x00});
    const std::string whole = readWholeFile(settingsFile());
    const std::size_t secondSite = whole.find("[two]");
    ASSERT_NE(secondSite, std::string::npos) << whole;
    const std::string cut = whole.substr(0, whole.find("RDir=", secondSite) + 2);
    damageSettingsFile(cut);
    TFTPForm& form = start();
    expectOneDamageMessage(2);
    EXPECT_EQ(readWholeFile(damagedCopy()), cut);
    expectSiteBoxShowsTheSites(form);
    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->itemText(1), "two");
    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->currentText(), "two") << "the settings record was readable";
    EXPECT_EQ(SiteList[1].Host, "two.example.org");
}

// An error escaping a command handler never unwinds through Qt: it is shown, and the
// window goes on.
TEST_F(MainWindowStart, AnErrorInACommandIsShownAndTheWindowGoesOn)
{
    storeSites({"one"});
    TFTPForm& form = start();
    form.runSiteEditor = [](char) -> bool { throw EIdException("No space left on device"); };
    EXPECT_NO_THROW(actionOf(form, "acCreateSite")->trigger());
    EXPECT_NO_THROW(partOf<QToolButton>(form, "tbCreateSite")->click());
    ASSERT_EQ(script->boxes.size(), 2u);
    EXPECT_EQ(script->boxes[0].text, "No space left on device");
    EXPECT_EQ(script->boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->count(), 1);
}

TEST_F(MainWindowStart, TwoArgumentsShowTheUsageAndEndWithoutWritingSettings)
{
    storeSites({"one"});
    const std::vector<std::uint8_t> before = {0x00, 0x00, 0x10, 0x00, 0x20, 0x00};
    storeSettings(before);
    TFTPForm& form = start({"tarn", "list-a.txt", "list-b.txt"});
    ASSERT_EQ(script->boxes.size(), 1u);
    QStringList expected = {"Invalid Command Line.", "Too many parameters."};
    expected << kUsageLines;
    EXPECT_EQ(script->boxes[0].text.split('\n'), expected);
    EXPECT_EQ(script->boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(script->boxes[0].buttons, std::vector<MsgButton>{MsgButton::Abort});
    EXPECT_EQ(exitCodes, std::vector<int>{0});
    EXPECT_TRUE(form.programEnded());
    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->itemText(0), "- no sites. Create one - ");
    window.reset();
    EXPECT_EQ(storedSettings(), before);
}

TEST_F(MainWindowStart, AnUploadListThatDoesNotExistIsNamedInTheUsageBox)
{
    storeSites({"one"});
    const QString missing = QString::fromStdString(localFolder()) + "missing list.txt";
    start({"tarn", missing});
    ASSERT_EQ(script->boxes.size(), 1u);
    const QStringList lines = script->boxes[0].text.split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "Invalid Command Line.");
    EXPECT_EQ(lines[1], "File " + missing + " does not exist");
    EXPECT_EQ(exitCodes, std::vector<int>{0});
    EXPECT_TRUE(storedSettings().empty());
}

TEST_F(MainWindowStart, AnUploadListIsReadWithItsEmptyLines)
{
    storeSites({"one"});
    std::ofstream(localDir.path() / "list.txt") << "SITE=one  FILE=/tmp/a\r\n\r\nSITE=one  FILE=/tmp/b";
    TFTPForm& form = start({"tarn", QString::fromStdString(localFolder()) + "list.txt"});
    EXPECT_TRUE(exitCodes.empty());
    EXPECT_TRUE(script->boxes.empty());
    ASSERT_TRUE(form.uploadRun().UploadList.has_value());
    EXPECT_EQ(*form.uploadRun().UploadList,
              (std::vector<std::string>{"SITE=one  FILE=/tmp/a", "", "SITE=one  FILE=/tmp/b"}));
    EXPECT_EQ(form.uploadRun().UploadListName, localFolder() + "list.txt");
}

TEST_F(MainWindowStart, QuitClosesWithoutAQuestionAndWritesTheSettings)
{
    storeSites({"one"});
    TFTPForm& form = start();
    show();
    actionOf(form, "acQuit")->trigger();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(script->boxes.empty());
    EXPECT_EQ(storedSettings().size(), 18u);
}

TEST_F(MainWindowStart, CtrlQQuits)
{
    storeSites({"one"});
    TFTPForm& form = start();
    show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 2000));
    EXPECT_EQ(storedSettings().size(), 18u);
}

TEST_F(MainWindowStart, ResetReturnsTheCommandsToTheDisconnectedState)
{
    storeSites({"one"});
    TFTPForm& form = start();
    PaneRow remote;
    remote.name = "remote.txt";
    remote.typeText = "File";
    paneOf(form, "LVR")->setRows({remote});
    form.SetFileEnabled(false);
    form.SetOpsEnabled(true);
    form.setStatusPanel(3, "Remote entries=1");
    const int localRows = paneOf(form, "LVL")->rowCount();
    actionOf(form, "acReset")->trigger();
    EXPECT_EQ(paneOf(form, "LVR")->rowCount(), 0);
    EXPECT_EQ(paneOf(form, "LVL")->rowCount(), localRows);
    EXPECT_FALSE(form.opsEnabled());
    EXPECT_FALSE(actionOf(form, "acRemoteRefresh")->isEnabled());
    EXPECT_TRUE(actionOf(form, "acCreateSite")->isEnabled());
    EXPECT_TRUE(partOf<QComboBox>(form, "tbSite")->isEnabled());
    EXPECT_TRUE(actionOf(form, "acConnect")->isEnabled());
    EXPECT_EQ(actionOf(form, "acConnect")->text(), "Connect");
    EXPECT_EQ(actionOf(form, "acConnect")->toolTip(), "Connect to site");
    EXPECT_EQ(actionOf(form, "mConnect")->text(), "Connect");
    EXPECT_TRUE(form.statusPanel(3).isEmpty());
    EXPECT_EQ(script->beeps, 1);
    EXPECT_EQ(script->boxTexts(),
              QStringList{"Program has been reset to beginning - reconnect if necessary"});
}

} // namespace
