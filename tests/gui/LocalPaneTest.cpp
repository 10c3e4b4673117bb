// The local pane through the main window: listing, sorting, the local commands and renaming
// in place, on a temporary directory with scripted dialogs.
#include "WindowParts.h"
#include "app/panes/PaneView.h"
#include "app/window/FTPUnit.h"
#include "model/PaneSort.h"
#include "platform/Dialogs.h"
#include "sites/SiteUnit.h"
#include "support/FtpServerProcess.h"

#include <QAction>
#include <QDir>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class LocalPaneTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_savedSites = SiteList;
        m_savedCount = SiteCount;
        m_savedCurrent = CurrentSite;
        auto scripted = std::make_unique<ScriptedDialogs>();
        m_dialogs = scripted.get();
        installDialogs(std::move(scripted));
        m_form = std::make_unique<TFTPForm>(QStringList{QStringLiteral("tarn")});
        TSiteRecord site;
        site.Name = "local-pane-test";
        site.LDir = base();
        SiteList = {site};
        SiteCount = 1;
        CurrentSite = 0;
        m_dialogs->clear();
    }

    void TearDown() override
    {
        m_form.reset();
        installDialogs(nullptr);
        SiteList = m_savedSites;
        SiteCount = m_savedCount;
        CurrentSite = m_savedCurrent;
        SortColumn[0] = SortColumn[1] = 2;
        SortAscending[0] = SortAscending[1] = 0;
    }

    std::string base() const { return m_dir.path().string() + "/"; }

    void makeFile(const std::string& name, std::size_t size, int minutesAgo = 0)
    {
        std::ofstream(base() + name, std::ios::binary) << std::string(size, 'x');
        fs::last_write_time(base() + name,
                            fs::file_time_type::clock::now() - std::chrono::minutes(minutesAgo));
    }

    void makeDirectory(const std::string& name, int minutesAgo = 0)
    {
        fs::create_directories(base() + name);
        fs::last_write_time(base() + name,
                            fs::file_time_type::clock::now() - std::chrono::minutes(minutesAgo));
    }

    void list(const std::string& directory)
    {
        m_form->setLocalDirectory(directory);
        actionOf(*m_form, "acLocalRefresh")->trigger();
    }

    PaneView& pane() { return *paneOf(*m_form, "LVL"); }

    std::vector<std::string> names()
    {
        std::vector<std::string> result;
        for (int i = 0; i < pane().rowCount(); ++i)
            result.push_back(pane().row(i).name);
        return result;
    }

    // Selects the rows as clicks would, and lets the window hear the click.
    void select(const std::vector<std::string>& rowNames)
    {
        pane().clearSelection();
        for (const std::string& name : rowNames) {
            const int row = pane().findRow(name);
            ASSERT_GE(row, 0) << name;
            pane().selectRow(row);
        }
        emit pane().paneClicked();   // what the click that made the selection reports
    }

    // Edits the Name of `name` in place to `text` and presses Enter, as a user would.
    void editInPlace(const std::string& name, const QString& text)
    {
        const int row = pane().findRow(name);
        ASSERT_GE(row, 0) << name;
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
        pane().editName(row);
        QPointer<QLineEdit> editor = pane().viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr) << "no editor opened";
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The editor commits on the next turn of the event loop, then hides.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !editor || !editor->isVisible(); }, 2000));
    }

    void clickHeader(int column) { emit pane().header()->sectionClicked(column); }

    TempDir m_dir{"tarn-local-pane"};
    ScriptedDialogs* m_dialogs = nullptr;
    std::unique_ptr<TFTPForm> m_form;
    std::vector<TSiteRecord> m_savedSites;
    std::int32_t m_savedCount = 0;
    std::int32_t m_savedCurrent = 0;
};

TEST_F(LocalPaneTest, ListsEntriesWithSizeTextsNewestFirstAndCountsThem)
{
    makeFile("empty.txt", 0, 5);
    makeFile("under.bin", 1535, 4);
    makeFile("over.bin", 1536, 3);
    makeFile("million.bin", 1000000, 2);
    makeDirectory("sub", 1);
    list(base());
    EXPECT_EQ(names(), (std::vector<std::string>{"sub", "million.bin", "over.bin", "under.bin",
                                                 "empty.txt"}));
    EXPECT_EQ(pane().row(0).sizeText, "");
    EXPECT_EQ(pane().row(0).typeText, "Directory");
    EXPECT_EQ(pane().row(1).sizeText, "    977k");
    EXPECT_EQ(pane().row(2).sizeText, "      2k");
    EXPECT_EQ(pane().row(3).sizeText, "      1k");
    EXPECT_EQ(pane().row(4).sizeText, "      1k");
    EXPECT_EQ(m_form->statusPanel(2), QStringLiteral("Local entries=5"));
    EXPECT_TRUE(m_dialogs->boxes.empty());
}

// Without a site the pane has no folder of its own: it shows the home folder, and a new
// directory is made there, never at the file-system root.
TEST_F(LocalPaneTest, WithoutAFolderThePaneListsTheHomeFolderAndActsThere)
{
    const fs::path home = QDir::homePath().toStdString();
    fs::create_directories(home / "in-home");
    SiteList.clear();
    SiteCount = 0;
    list("");
    EXPECT_EQ(m_form->localDirectory(), home.string() + "/");
    EXPECT_GE(pane().findRow("in-home"), 0);
    EXPECT_EQ(m_form->statusPanel(2),
              QStringLiteral("Local entries=") + QString::number(pane().rowCount()));
    m_dialogs->answerText(QStringLiteral("made-by-test"));
    actionOf(*m_form, "acLocalMakeDir")->trigger();
    EXPECT_TRUE(fs::is_directory(home / "made-by-test"));
    EXPECT_FALSE(fs::exists("/made-by-test"));
    EXPECT_TRUE(m_dialogs->boxes.empty());
    fs::remove(home / "made-by-test");
    fs::remove(home / "in-home");
}

TEST_F(LocalPaneTest, MissingDirectoryAsksToCorrectTheSite)
{
    makeFile("a.txt", 1);
    list(base());
    m_form->setStatusPanel(2, QStringLiteral("before"));
    list(base() + "missing/");
    EXPECT_EQ(pane().rowCount(), 0);
    ASSERT_EQ(m_dialogs->boxes.size(), 1u);
    EXPECT_EQ(m_dialogs->boxes[0].text, QStringLiteral("Local Directory invalid. Correct Site definition?"));
    EXPECT_EQ(m_dialogs->boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(m_dialogs->boxes[0].buttons, std::vector<MsgButton>{MsgButton::Abort});
    EXPECT_EQ(m_form->statusPanel(2), QStringLiteral("before"));
    EXPECT_EQ(partOf<QLineEdit>(*m_form, "LocDir")->text().toStdString(), base() + "missing/");
}

TEST_F(LocalPaneTest, ColumnClicksSortByNameThenFlipThenBySizeWithDirectoriesFirst)
{
    makeFile("Zeta", 3000);
    makeFile("alpha", 100);
    makeFile("_x", 2000);
    makeDirectory("dir");
    list(base());
    clickHeader(kNameColumn);
    EXPECT_EQ(names(), (std::vector<std::string>{"alpha", "dir", "Zeta", "_x"}));
    clickHeader(kNameColumn);
    EXPECT_EQ(names(), (std::vector<std::string>{"_x", "Zeta", "dir", "alpha"}));
    clickHeader(kSizeColumn);
    EXPECT_EQ(names(), (std::vector<std::string>{"dir", "alpha", "_x", "Zeta"}));
    EXPECT_EQ(SortColumn[0], kSizeColumn);
    EXPECT_EQ(SortAscending[0], 1);
    clickHeader(kSizeColumn);
    EXPECT_EQ(names().back(), "dir");
    // A new listing keeps the pane's sort.
    actionOf(*m_form, "acLocalRefresh")->trigger();
    EXPECT_EQ(names(), (std::vector<std::string>{"Zeta", "_x", "alpha", "dir"}));
}

TEST_F(LocalPaneTest, UpFromTheRootCannotGoFurther)
{
    list("/");
    m_dialogs->clear();
    actionOf(*m_form, "acLocalUp")->trigger();
    ASSERT_EQ(m_dialogs->boxes.size(), 1u);
    EXPECT_EQ(m_dialogs->boxes[0].text, QStringLiteral("Unable to go up further"));
    EXPECT_EQ(m_dialogs->boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(partOf<QLineEdit>(*m_form, "LocDir")->text(), QStringLiteral("/"));
}

TEST_F(LocalPaneTest, UpGoesToTheParentWithOrWithoutTheDelimiter)
{
    makeDirectory("sub/inner");
    makeFile("sub/file", 1);
    list(base() + "sub/inner");
    actionOf(*m_form, "acLocalUp")->trigger();
    EXPECT_EQ(m_form->localDirectory(), base() + "sub/");
    EXPECT_EQ(names().size(), 2u);
    actionOf(*m_form, "acLocalUp")->trigger();
    EXPECT_EQ(m_form->localDirectory(), base());
    EXPECT_TRUE(m_dialogs->boxes.empty());
}

TEST_F(LocalPaneTest, DoubleClickOnADirectoryEntersIt)
{
    makeDirectory("sub");
    makeFile("sub/inside.txt", 1);
    list(base());
    select({"sub"});
    emit pane().paneDoubleClicked();
    EXPECT_EQ(m_form->localDirectory(), base() + "sub/");
    EXPECT_EQ(names(), std::vector<std::string>{"inside.txt"});
}

TEST_F(LocalPaneTest, DoubleClickOnAFileUploadsOnlyWhileTheSessionIsIdle)
{
    makeFile("a.txt", 1);
    list(base());
    std::vector<std::string> uploads;
    m_form->uploadFromLocalPane = [&](const std::string& path) {
        uploads.push_back(path);
        return true;
    };
    select({"a.txt"});
    m_form->SetOpsEnabled(false);   // disconnected, or a command is running
    emit pane().paneDoubleClicked();
    EXPECT_TRUE(uploads.empty());
    m_form->SetOpsEnabled(true);
    m_form->operation().TransferActive = true;
    emit pane().paneDoubleClicked();
    EXPECT_TRUE(uploads.empty());
    m_form->operation().TransferActive = false;
    emit pane().paneDoubleClicked();
    EXPECT_EQ(uploads, std::vector<std::string>{base() + "a.txt"});
    EXPECT_EQ(m_form->localDirectory(), base()) << "a file is not entered";
}

TEST_F(LocalPaneTest, BrowseListsTheChosenFolder)
{
    makeDirectory("picked");
    makeFile("picked/one", 1);
    list(base());
    m_dialogs->answerText(QString::fromStdString(base() + "picked"));
    actionOf(*m_form, "acLocalBrowse")->trigger();
    ASSERT_EQ(m_dialogs->questions.size(), 1u);
    EXPECT_EQ(m_dialogs->questions[0].caption, QStringLiteral("Select New Local Folder"));
    EXPECT_EQ(m_dialogs->questions[0].proposed.toStdString(), base());
    EXPECT_EQ(m_form->localDirectory(), base() + "picked/");
    EXPECT_EQ(names(), std::vector<std::string>{"one"});

    m_dialogs->answerCancel();
    actionOf(*m_form, "acLocalBrowse")->trigger();
    EXPECT_EQ(m_form->localDirectory(), base() + "picked/") << "Cancel changes nothing";
}

TEST_F(LocalPaneTest, MakeDirectoryCreatesAndListsOrSaysWhyNot)
{
    list(base());
    m_dialogs->answerText(QStringLiteral("fresh"));
    actionOf(*m_form, "acLocalMakeDir")->trigger();
    EXPECT_TRUE(fs::is_directory(base() + "fresh"));
    EXPECT_EQ(names(), std::vector<std::string>{"fresh"});
    ASSERT_FALSE(m_dialogs->questions.empty());
    EXPECT_EQ(m_dialogs->questions[0].caption, QStringLiteral("Specify name of new local directory"));

    m_dialogs->answerText(QStringLiteral("missing/child"));
    actionOf(*m_form, "acLocalMakeDir")->trigger();
    ASSERT_EQ(m_dialogs->boxes.size(), 1u);
    EXPECT_EQ(m_dialogs->boxes[0].text.toStdString(), "Unable to create " + base() + "missing/child/");
}

TEST_F(LocalPaneTest, DeletingAFileAndANonEmptyDirectoryAsksOnceAndReportsTheDirectory)
{
    makeFile("a.txt", 10);
    makeDirectory("full");
    makeFile("full/keep.txt", 10);
    list(base());
    // A click on the file offers Delete; the directory joins the selection from the
    // keyboard, which does not update the commands.
    select({"a.txt"});
    pane().selectRow(pane().findRow("full"));
    m_dialogs->answerBox(MsgButton::Yes);
    actionOf(*m_form, "acLocalDelete")->trigger();
    ASSERT_EQ(m_dialogs->boxes.size(), 2u);
    EXPECT_EQ(m_dialogs->boxes[0].text, QStringLiteral("Delete all selected items?"));
    EXPECT_EQ(m_dialogs->boxes[0].icon, MsgIcon::Confirmation);
    EXPECT_EQ(m_dialogs->boxes[0].buttons, (std::vector<MsgButton>{MsgButton::Yes, MsgButton::Cancel}));
    EXPECT_EQ(m_dialogs->boxes[1].text.toStdString(),
              "Cannot remove " + base() + "full/ (Must be empty?)");
    EXPECT_EQ(m_dialogs->boxes[1].icon, MsgIcon::Error);
    EXPECT_FALSE(fs::exists(base() + "a.txt"));
    EXPECT_TRUE(fs::exists(base() + "full/keep.txt"));
    EXPECT_EQ(names(), std::vector<std::string>{"full"}) << "the pane is listed again";
}

TEST_F(LocalPaneTest, DeletingOneRowNamesItAndCancelKeepsEverything)
{
    makeFile("a.txt", 10);
    makeDirectory("empty");
    list(base());
    select({"a.txt"});
    m_dialogs->answerBox(MsgButton::Cancel);
    actionOf(*m_form, "acLocalDelete")->trigger();
    EXPECT_EQ(m_dialogs->lastBoxText(), QStringLiteral("Delete file a.txt?"));
    EXPECT_TRUE(fs::exists(base() + "a.txt"));

    select({"empty"});
    m_dialogs->answerBox(MsgButton::Yes);
    actionOf(*m_form, "acLocalDelete")->trigger();
    EXPECT_EQ(m_dialogs->boxes.back().text, QStringLiteral("Delete directory empty?"));
    EXPECT_FALSE(fs::exists(base() + "empty"));
    EXPECT_EQ(names(), std::vector<std::string>{"a.txt"});
}

TEST_F(LocalPaneTest, RenameCommandRefusesANameInUseAndKeepsBothFiles)
{
    makeFile("a.txt", 1);
    makeFile("b.txt", 2);
    list(base());
    select({"a.txt"});
    m_dialogs->answerText(QStringLiteral("b.txt"));
    actionOf(*m_form, "acLocalRename")->trigger();
    ASSERT_EQ(m_dialogs->questions.size(), 1u);
    EXPECT_EQ(m_dialogs->questions[0].caption, QStringLiteral("Rename Local File"));
    EXPECT_EQ(m_dialogs->questions[0].prompt, QStringLiteral("Enter new file name:"));
    EXPECT_EQ(m_dialogs->questions[0].proposed, QStringLiteral("a.txt"));
    EXPECT_EQ(m_dialogs->lastBoxText(), QStringLiteral("Unable to rename to b.txt. Is name already in use?"));
    EXPECT_EQ(fs::file_size(base() + "a.txt"), 1u);
    EXPECT_EQ(fs::file_size(base() + "b.txt"), 2u);

    select({"a.txt"});
    m_dialogs->answerText(QStringLiteral("c.txt"));
    actionOf(*m_form, "acLocalRename")->trigger();
    EXPECT_TRUE(fs::exists(base() + "c.txt"));
    EXPECT_GE(pane().findRow("c.txt"), 0);
}

TEST_F(LocalPaneTest, RenameInPlaceAsksAboutAChangedExtension)
{
    makeFile("a.txt", 1);
    list(base());
    m_dialogs->answerBox(MsgButton::Cancel);
    editInPlace("a.txt", QStringLiteral("a.doc"));
    ASSERT_EQ(m_dialogs->boxes.size(), 1u);
    EXPECT_EQ(m_dialogs->boxes[0].text,
              QStringLiteral("File extension has been changed from .txt to .doc\nAre you sure?"));
    EXPECT_EQ(m_dialogs->boxes[0].icon, MsgIcon::Confirmation);
    EXPECT_TRUE(fs::exists(base() + "a.txt"));
    EXPECT_EQ(pane().row(0).name, "a.txt");

    m_dialogs->answerBox(MsgButton::Yes);
    editInPlace("a.txt", QStringLiteral("a.doc"));
    EXPECT_TRUE(fs::exists(base() + "a.doc"));
    EXPECT_EQ(pane().row(0).name, "a.doc");
}

TEST_F(LocalPaneTest, RenameInPlaceKeepingTheExtensionAsksNothing)
{
    makeFile("a.txt", 1);
    list(base());
    editInPlace("a.txt", QStringLiteral("b.txt"));
    EXPECT_TRUE(m_dialogs->boxes.empty());
    EXPECT_TRUE(fs::exists(base() + "b.txt"));
    EXPECT_EQ(pane().row(0).name, "b.txt");
}

TEST_F(LocalPaneTest, DestroyingTheWindowDuringARenameInPlaceRenamesNothing)
{
    makeFile("a.txt", 1);
    list(base());
    m_form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
    pane().editName(0);
    QLineEdit* editor = pane().viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("b.txt"));
    m_form.reset();
    EXPECT_TRUE(fs::exists(base() + "a.txt"));
    EXPECT_FALSE(fs::exists(base() + "b.txt"));
}

TEST_F(LocalPaneTest, RenamingADirectoryInPlaceIsUndoneWithABeep)
{
    makeDirectory("sub");
    list(base());
    editInPlace("sub", QStringLiteral("renamed"));
    EXPECT_EQ(m_dialogs->beeps, 1);
    EXPECT_TRUE(fs::is_directory(base() + "sub"));
    EXPECT_FALSE(fs::exists(base() + "renamed"));
    EXPECT_EQ(pane().row(0).name, "sub");
    EXPECT_EQ(pane().model()->index(0, 0).data().toString(), QStringLiteral("sub"));
}

TEST_F(LocalPaneTest, RenameInPlaceOntoAnExistingNameIsRefusedAndUndone)
{
    makeFile("a.txt", 1);
    makeFile("b.txt", 2);
    list(base());
    editInPlace("a.txt", QStringLiteral("b.txt"));
    EXPECT_EQ(m_dialogs->lastBoxText(), QStringLiteral("Unable to rename to b.txt. Is name already in use?"));
    EXPECT_GE(pane().findRow("a.txt"), 0);
    EXPECT_EQ(fs::file_size(base() + "b.txt"), 2u);
}

TEST_F(LocalPaneTest, NameThatIsNotUtf8IsListedRenamedAndDeleted)
{
    const std::string raw = "caf\xe9.txt";
    makeFile(raw, 7);
    makeFile("other\xff", 3);
    list(base());
    ASSERT_GE(pane().findRow(raw), 0);
    EXPECT_EQ(m_form->statusPanel(2), QStringLiteral("Local entries=2"));

    // Confirming the shown name unchanged must not turn the bytes into replacement characters.
    select({raw});
    m_dialogs->answerText(QString::fromUtf8("caf\uFFFD.txt"));
    actionOf(*m_form, "acLocalRename")->trigger();
    EXPECT_TRUE(fs::exists(base() + raw));

    select({"other\xff"});
    m_dialogs->answerText(QStringLiteral("other.txt"));
    actionOf(*m_form, "acLocalRename")->trigger();
    EXPECT_TRUE(fs::exists(base() + "other.txt"));

    select({raw});
    m_dialogs->answerBox(MsgButton::Yes);
    actionOf(*m_form, "acLocalDelete")->trigger();
    EXPECT_FALSE(fs::exists(base() + raw));
    EXPECT_EQ(names(), std::vector<std::string>{"other.txt"});
}

// Changing only the extension of a name that is not UTF-8 must keep the rest of its bytes, in
// the rename command and in place alike.
TEST_F(LocalPaneTest, RenamingPartOfANameThatIsNotUtf8KeepsTheOtherBytes)
{
    const QString shown = QString::fromUtf8("caf\uFFFD");
    makeFile("caf\xe9.txt", 1);
    makeFile("na\xefve.txt", 1);
    list(base());

    select({"caf\xe9.txt"});
    m_dialogs->answerText(shown + QStringLiteral(".doc"));
    actionOf(*m_form, "acLocalRename")->trigger();
    EXPECT_TRUE(fs::exists(base() + "caf\xe9.doc"));

    m_dialogs->answerBox(MsgButton::Yes);   // the changed extension
    editInPlace("na\xefve.txt", QString::fromUtf8("na\uFFFDve.md"));
    EXPECT_TRUE(fs::exists(base() + "na\xefve.md"));
    EXPECT_GE(pane().findRow("na\xefve.md"), 0);
    EXPECT_EQ(names().size(), 2u);
}

TEST_F(LocalPaneTest, DirectoryNamedWithBytesThatAreNotUtf8CanBeEnteredAndLeft)
{
    const std::string raw = "d\xe9j\xe0";
    makeDirectory(raw);
    makeFile(raw + "/inside", 1);
    list(base());
    select({raw});
    actionOf(*m_form, "acLocalChgDir")->trigger();
    EXPECT_EQ(m_form->localDirectory(), base() + raw + "/");
    EXPECT_EQ(names(), std::vector<std::string>{"inside"});
    actionOf(*m_form, "acLocalUp")->trigger();
    EXPECT_EQ(m_form->localDirectory(), base());
}

} // namespace
