// The help viewer opened from the window: F1 on each part, the Help menu, the contents, index
// and full-text search of the compiled help collection, and the About box.
#include "MainWindowSupport.h"

#include "app/window/AboutUnit.h"
#include "app/window/UseHTMLHelp.h"
#include "platform/HelpViewer.h"
#include "sites/SiteForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHelpContentItem>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexModel>
#include <QHelpIndexWidget>
#include <QHelpSearchEngine>
#include <QHelpSearchResult>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QWhatsThis>

#include <filesystem>

namespace {

constexpr int kDeadline = 30000;

QString builtCollection()
{
    return QStringLiteral(TARN_HELP_COLLECTION);
}

} // namespace

class HelpFixture : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        storeSites({"Main"});
        start();
        window->HelpFile = builtCollection();
        show();
    }

    THelpViewer* viewer() const { return window->findChild<TUseHTMLHelp*>()->viewer(); }

    // The page the viewer shows: file name and fragment, as "panes.html#host".
    QString shownPage() const
    {
        const QUrl url = viewer()->currentPage();
        return url.fragment().isEmpty() ? url.fileName() : url.fileName() + '#' + url.fragment();
    }

    QString pageText(const QUrl& url) const { return QString::fromUtf8(viewer()->engine().fileData(url)); }
};

// --- F1 and the "?" button ------------------------------------------------------------------

struct F1Case {
    const char* id;
    QWidget* (*widget)(TFTPForm&);
    const char* page;
};

class HelpF1Test : public HelpFixture, public testing::WithParamInterface<F1Case> {};

TEST_P(HelpF1Test, OpensThePageOfTheFocusedPartOrItsNearestParent)
{
    QWidget* widget = GetParam().widget(*window);
    QTest::keyClick(widget, Qt::Key_F1);
    ASSERT_NE(viewer(), nullptr);
    ASSERT_TRUE(viewer()->isReady()) << viewer()->failureReason().toStdString();
    EXPECT_TRUE(viewer()->isVisible());
    EXPECT_EQ(shownPage(), QString::fromLatin1(GetParam().page));
}

INSTANTIATE_TEST_SUITE_P(
    WindowAndEditor, HelpF1Test,
    testing::Values(
        F1Case{"remote_pane", [](TFTPForm& w) -> QWidget* { return paneOf(w, "LVR"); }, "panes.html"},
        F1Case{"local_pane", [](TFTPForm& w) -> QWidget* { return paneOf(w, "LVL"); }, "panes.html"},
        F1Case{"trace_pane", [](TFTPForm& w) -> QWidget* { return partOf<QPlainTextEdit>(w, "RTFLog"); }, "trace.html"},
        F1Case{"site_box", [](TFTPForm& w) -> QWidget* { return partOf<QComboBox>(w, "tbSite"); }, "sitebox.html"},
        F1Case{"local_dir_on_directory_bar", [](TFTPForm& w) -> QWidget* { return partOf<QLineEdit>(w, "LocDir"); }, "directorybar.html"},
        F1Case{"progress_bar_in_status_bar", [](TFTPForm& w) -> QWidget* { return partOf<QProgressBar>(w, "ProgressBar1"); }, "statusbar.html"},
        F1Case{"passive_box_on_toolbar", [](TFTPForm& w) -> QWidget* { return partOf<QCheckBox>(w, "UsePassive"); }, "toolbar.html"},
        F1Case{"window_itself", [](TFTPForm& w) -> QWidget* { return &w; }, "mainwindow.html"},
        F1Case{"editor_host", [](TFTPForm& w) -> QWidget* { return w.siteEditor()->sHost; }, "siteeditor.html#host"},
        F1Case{"editor_passive", [](TFTPForm& w) -> QWidget* { return w.siteEditor()->sPasV; }, "siteeditor.html#passive"},
        F1Case{"editor_browse_button", [](TFTPForm& w) -> QWidget* { return w.siteEditor()->BrowseButton; }, "siteeditor.html"}),
    [](const testing::TestParamInfo<F1Case>& info) { return std::string(info.param.id); });

TEST_F(HelpFixture, WhatsThisClickOnAnEditorFieldOpensItsPage)
{
    QHelpEvent whatsThis(QEvent::WhatsThis, QPoint(2, 2), QPoint(2, 2));
    QApplication::sendEvent(window->siteEditor()->sPass, &whatsThis);
    ASSERT_NE(viewer(), nullptr);
    EXPECT_EQ(shownPage(), QStringLiteral("siteeditor.html#password"));
}

TEST_F(HelpFixture, F1InsideTheViewerExplainsTheViewer)
{
    actionOf(*window, "acHelpContents")->trigger();
    QTest::keyClick(viewer()->page(), Qt::Key_F1);
    EXPECT_EQ(shownPage(), QStringLiteral("helponhelp.html"));
}

// --- Every context number leads to its page ---------------------------------------------------

struct ContextCase {
    int context;
    const char* page;
    const char* phrase;  // written on that page (in that section) for that context
};

class HelpContextTest : public HelpFixture, public testing::WithParamInterface<ContextCase> {};

TEST_P(HelpContextTest, LeadsToThePageWrittenForIt)
{
    actionOf(*window, "acHelpContents")->trigger();
    ASSERT_TRUE(viewer()->isReady()) << viewer()->failureReason().toStdString();
    const QUrl url = viewer()->pageForContext(GetParam().context);
    ASSERT_FALSE(url.isEmpty());
    const QString page = url.fragment().isEmpty() ? url.fileName() : url.fileName() + '#' + url.fragment();
    EXPECT_EQ(page, QString::fromLatin1(GetParam().page));
    const QString text = pageText(url);
    if (!url.fragment().isEmpty()) {
        EXPECT_TRUE(text.contains(QStringLiteral("id=\"%1\"").arg(url.fragment())));
    }
    EXPECT_TRUE(text.contains(QString::fromLatin1(GetParam().phrase))) << GetParam().phrase;
    EXPECT_TRUE(viewer()->showContext(GetParam().context));
    EXPECT_EQ(shownPage(), QString::fromLatin1(GetParam().page));
}

INSTANTIATE_TEST_SUITE_P(
    AllContexts, HelpContextTest,
    testing::Values(ContextCase{60, "helponhelp.html", "Using this help"},
                    ContextCase{100, "mainwindow.html", "The main window"},
                    ContextCase{120, "toolbar.html", "The toolbar"},
                    ContextCase{130, "sitebox.html", "The site box"},
                    ContextCase{140, "directorybar.html", "The directory bar"},
                    ContextCase{150, "panes.html", "The local and remote panes"},
                    ContextCase{160, "trace.html", "The connection trace"},
                    ContextCase{170, "statusbar.html", "The status bar"},
                    ContextCase{180, "queue.html", "Apply to all files of this run"},
                    ContextCase{400, "siteeditor.html", "The site editor"},
                    ContextCase{410, "siteeditor.html#name", "Site Name"},
                    ContextCase{420, "siteeditor.html#host", "[IPv6 literal]:port"},
                    ContextCase{430, "siteeditor.html#user", "FTP User ID"},
                    ContextCase{440, "siteeditor.html#password", "FTP Login password"},
                    ContextCase{450, "siteeditor.html#remotedir", "Initial Directory on the remote server"},
                    ContextCase{460, "siteeditor.html#localdir", "Initial Directory on the local computer"},
                    ContextCase{470, "siteeditor.html#passive", "Use passive FTP"},
                    ContextCase{485, "siteeditor.html#connections", "Parallel transfers in the queue"},
                    ContextCase{490, "siteeditor.html#keeppassword", "cannot reach the keyring"}),
    [](const testing::TestParamInfo<ContextCase>& info) { return std::to_string(info.param.context); });

TEST_F(HelpFixture, AnUnknownContextSaysSoInsteadOfShowingAnotherPage)
{
    actionOf(*window, "acHelpContents")->trigger();
    EXPECT_FALSE(viewer()->showContext(999));
    EXPECT_TRUE(viewer()->page()->toPlainText().contains(QStringLiteral("no help page for context 999")));
}

// --- The Help menu --------------------------------------------------------------------------

struct MenuCase {
    const char* id;
    const char* action;
    THelpViewer::Tab tab;
    const char* page;
};

class HelpMenuTest : public HelpFixture, public testing::WithParamInterface<MenuCase> {};

TEST_P(HelpMenuTest, OpensTheViewerAtItsTab)
{
    actionOf(*window, GetParam().action)->trigger();
    ASSERT_NE(viewer(), nullptr);
    EXPECT_TRUE(viewer()->isVisible());
    EXPECT_EQ(viewer()->currentTab(), GetParam().tab);
    EXPECT_EQ(shownPage(), QString::fromLatin1(GetParam().page));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, HelpMenuTest,
    testing::Values(MenuCase{"contents", "acHelpContents", THelpViewer::Tab::Contents, "index.html"},
                    MenuCase{"index", "acHelpIndex", THelpViewer::Tab::Index, "index.html"},
                    MenuCase{"search", "acHelpTopicSearch", THelpViewer::Tab::Search, "index.html"},
                    MenuCase{"help_on_help", "acHelpOnHelp", THelpViewer::Tab::Contents, "helponhelp.html"}),
    [](const testing::TestParamInfo<MenuCase>& info) { return std::string(info.param.id); });

TEST_F(HelpFixture, RepeatedRequestsReuseOneViewer)
{
    actionOf(*window, "acHelpContents")->trigger();
    THelpViewer* first = viewer();
    actionOf(*window, "acHelpIndex")->trigger();
    QTest::keyClick(paneOf(*window, "LVR"), Qt::Key_F1);
    EXPECT_EQ(viewer(), first);
    EXPECT_EQ(window->findChildren<THelpViewer*>().size(), 1);
}

// --- Contents, index and search find pages --------------------------------------------------

TEST_F(HelpFixture, ContentsListTheSiteEditorAndOpenIt)
{
    actionOf(*window, "acHelpContents")->trigger();
    QHelpContentModel* model = viewer()->engine().contentModel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount() > 0 && !model->isCreatingContents(); }, kDeadline));
    QHelpContentWidget* contents = viewer()->engine().contentWidget();
    const QModelIndex editor = contents->indexOf(QUrl(QStringLiteral("qthelp://com.kalmor.tarn.1.7/doc/siteeditor.html")));
    ASSERT_TRUE(editor.isValid());
    EXPECT_EQ(model->contentItemAt(editor)->title(), QStringLiteral("The site editor"));
    emit contents->activated(editor);
    EXPECT_EQ(shownPage(), QStringLiteral("siteeditor.html"));
    EXPECT_TRUE(viewer()->page()->toPlainText().contains(QStringLiteral("Save / Exit")));
}

TEST_F(HelpFixture, IndexFindsAnEntryAsItIsTypedAndOpensItsPage)
{
    actionOf(*window, "acHelpIndex")->trigger();
    QHelpIndexModel* model = viewer()->engine().indexModel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount() > 0 && !model->isCreatingIndex(); }, kDeadline));
    auto* filter = viewer()->findChild<QLineEdit*>(QStringLiteral("HelpIndexFilter"));
    ASSERT_NE(filter, nullptr);
    QTest::keyClicks(filter, QStringLiteral("exit co"));
    QTest::keyClick(filter, Qt::Key_Return);
    EXPECT_EQ(shownPage(), QStringLiteral("batch.html"));
    EXPECT_TRUE(viewer()->page()->toPlainText().contains(QStringLiteral("tarn --batch LIST")));
}

TEST_F(HelpFixture, FullTextSearchFindsAWordThatIsOnlyInThePageText)
{
    actionOf(*window, "acHelpTopicSearch")->trigger();
    QHelpSearchEngine* search = viewer()->engine().searchEngine();
    QSignalSpy indexed(search, &QHelpSearchEngine::indexingFinished);
    ASSERT_TRUE(QTest::qWaitFor([&] { return indexed.count() > 0; }, kDeadline));
    QSignalSpy searched(search, &QHelpSearchEngine::searchingFinished);
    search->search(QStringLiteral("cron"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return searched.count() > 0; }, kDeadline));
    QStringList pages;
    for (const QHelpSearchResult& result : search->searchResults(0, search->searchResultCount()))
        pages << result.url().fileName();
    EXPECT_TRUE(pages.contains(QStringLiteral("batch.html"))) << pages.join(' ').toStdString();
    EXPECT_FALSE(pages.contains(QStringLiteral("panes.html")));

    // "Using this help" promises that a trailing * stands for any ending.
    search->search(QStringLiteral("restart*"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return searched.count() > 1; }, kDeadline));
    pages.clear();
    for (const QHelpSearchResult& result : search->searchResults(0, search->searchResultCount()))
        pages << result.url().fileName();
    EXPECT_TRUE(pages.contains(QStringLiteral("transfers.html"))) << pages.join(' ').toStdString();
}

// --- Where the collection is found ----------------------------------------------------------

TEST_F(HelpFixture, AReadOnlyInstalledCollectionIsFoundAndWorks)
{
    TempDir prefix("tarn-help-prefix");
    const std::filesystem::path share = prefix.path() / "share" / "tarn";
    std::filesystem::create_directories(share);
    std::filesystem::create_directories(prefix.path() / "bin");
    const std::filesystem::path built = builtCollection().toStdString();
    for (const char* name : {"TarnHelp.qhc", "TarnHelp.qch"}) {
        std::filesystem::copy_file(built.parent_path() / name, share / name);
        std::filesystem::permissions(share / name, std::filesystem::perms::owner_read);
    }
    std::filesystem::permissions(share, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    window->HelpFile = QString::fromStdString((prefix.path() / "bin" / "TarnHelp.qhc").string());

    QTest::keyClick(partOf<QPlainTextEdit>(*window, "RTFLog"), Qt::Key_F1);
    const bool ready = viewer()->isReady();
    std::filesystem::permissions(share, std::filesystem::perms::owner_all);
    ASSERT_TRUE(ready) << viewer()->failureReason().toStdString();
    EXPECT_EQ(shownPage(), QStringLiteral("trace.html"));
}

TEST_F(HelpFixture, AMissingCollectionIsReportedInTheViewer)
{
    window->HelpFile = QStringLiteral("/nonexistent/folder/TarnHelp.qhc");
    actionOf(*window, "acHelpOnHelp")->trigger();
    ASSERT_NE(viewer(), nullptr);
    EXPECT_FALSE(viewer()->isReady());
    EXPECT_TRUE(viewer()->page()->toPlainText().contains(QStringLiteral("was not found")));
}

// --- The About box --------------------------------------------------------------------------

class AboutFixture : public HelpFixture {
protected:
    // Opens the About box from the Help menu and closes it as soon as it runs.
    TAboutForm* openAbout()
    {
        QPointer<QWidget> shown;
        QTimer::singleShot(0, [&] {
            shown = QApplication::activeModalWidget();
            if (shown)
                shown->close();
        });
        actionOf(*window, "mHelpAbout")->trigger();
        return qobject_cast<TAboutForm*>(shown.data());
    }
};

TEST_F(AboutFixture, OpenedTwiceShowsTheSameBoxWithTheVersionOnce)
{
    TAboutForm* first = openAbout();
    ASSERT_NE(first, nullptr);
    TAboutForm* second = openAbout();
    EXPECT_EQ(second, first);
    EXPECT_EQ(first->lVer->text(), QStringLiteral("Version 1.7  18 Jul 08"));
    EXPECT_EQ(first->windowTitle(), QStringLiteral("About Tarn"));
    EXPECT_EQ(first->size(), QSize(418, 269));
}

TEST_F(AboutFixture, VisitWebOpensTheMakersSiteWithoutABrowser)
{
    std::vector<QUrl> opened;
    auto saved = TAboutForm::openUrlHook();
    TAboutForm::openUrlHook() = [&](const QUrl& url) { opened.push_back(url); };
    TAboutForm box;
    QTest::mouseClick(box.VisitWeb, Qt::LeftButton);
    TAboutForm::openUrlHook() = saved;
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], TAboutForm::makerSite());
    EXPECT_EQ(opened[0].scheme(), QStringLiteral("https"));
}

TEST_F(HelpFixture, PagesShowTheirPicturesAndStyleSheet)
{
    actionOf(*window, "acHelpContents")->trigger();
    ASSERT_EQ(shownPage(), QStringLiteral("index.html"));
    const QByteArray picture =
        viewer()->page()->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("images/mainwindow.png"))).toByteArray();
    EXPECT_TRUE(picture.startsWith("\x89PNG"));
    const QString style =
        viewer()->page()->loadResource(QTextDocument::StyleSheetResource, QUrl(QStringLiteral("tarn.css"))).toString();
    EXPECT_TRUE(style.contains(QStringLiteral("h1")));
}

TEST_F(AboutFixture, TheWebButtonCaptionAndTheTitleFitTheirPlaces)
{
    TAboutForm* box = openAbout();
    ASSERT_NE(box, nullptr);
    const QFontMetrics metrics(box->VisitWeb->font());
    EXPECT_LT(metrics.horizontalAdvance(box->VisitWeb->text()), box->VisitWeb->width());
    const QFontMetrics title(box->Label1->font());
    EXPECT_LT(box->Label1->x() + title.horizontalAdvance(box->Label1->text()), box->Image1->x());
}

TEST_F(HelpFixture, TheHookHandlesEveryKindOfRequestItself)
{
    TUseHTMLHelp& hook = *window->findChild<TUseHTMLHelp*>();
    bool callDefault = true;
    EXPECT_TRUE(hook.HelpHook(HelpRequest::ContextPopup, 160, callDefault));
    EXPECT_FALSE(callDefault);
    EXPECT_EQ(shownPage(), QStringLiteral("trace.html"));

    hook.HelpHook(HelpRequest::Keyword, QStringLiteral("resume"), callDefault);
    EXPECT_EQ(viewer()->currentTab(), THelpViewer::Tab::Index);
    EXPECT_EQ(viewer()->findChild<QLineEdit*>(QStringLiteral("HelpIndexFilter"))->text(), QStringLiteral("resume"));

    hook.HelpHook(static_cast<HelpRequest>(0x4711), 0, callDefault);
    EXPECT_EQ(shownPage(), QStringLiteral("index.html"));

    hook.HelpHook(HelpRequest::Quit, 0, callDefault);
    EXPECT_FALSE(viewer()->isVisible());
}
