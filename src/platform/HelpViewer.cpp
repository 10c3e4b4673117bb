// The help window on QHelpEngine and the lookup of the help collection.
#include "platform/HelpViewer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpContentWidget>
#include <QHelpContentModel>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kViewerWidth = 1120;
constexpr int kViewerHeight = 720;
constexpr int kNavigationWidth = 240;

QString contextIdentifier(int context)
{
    return QStringLiteral("context.%1").arg(context);
}

// A copy is current when it has the original's size and is not older than it.
bool isCurrentCopy(const QString& original, const QString& copy)
{
    const QFileInfo from(original);
    const QFileInfo to(copy);
    return to.exists() && to.size() == from.size() && to.lastModified() >= from.lastModified();
}

// The .qch files the collection names lie beside it (it stores them by relative path).
QStringList companionFiles(const QString& collection)
{
    const QFileInfo info(collection);
    QStringList files{info.fileName()};
    for (const QFileInfo& document : info.dir().entryInfoList({QStringLiteral("*.qch")}, QDir::Files))
        files << document.fileName();
    return files;
}

} // namespace

QString locateHelpCollection(const QString& helpFile)
{
    if (QFileInfo::exists(helpFile))
        return helpFile;
    const QFileInfo info(helpFile);
    const QString installed = info.absolutePath() + QStringLiteral("/../share/tarn/") + info.fileName();
    if (QFileInfo::exists(installed))
        return QDir::cleanPath(installed);
    return helpFile;
}

QString writableHelpCollection(const QString& collection, const QString& cacheFolder)
{
    const QFileInfo info(collection);
    const QStringList files = companionFiles(collection);
    QDir cache(cacheFolder);
    bool current = true;
    for (const QString& file : files)
        current = current && isCurrentCopy(info.dir().filePath(file), cache.filePath(file));
    if (current)
        return cache.filePath(info.fileName());
    // A stale copy takes its search index with it: the new pages are indexed afresh.
    cache.removeRecursively();
    if (!QDir().mkpath(cacheFolder))
        return {};
    for (const QString& file : files)
        if (!QFile::copy(info.dir().filePath(file), cache.filePath(file)))
            return {};
    // Copies of a read-only installation are read-only too; the engine must write to them.
    for (const QString& file : files)
        QFile::setPermissions(cache.filePath(file), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return cache.filePath(info.fileName());
}

THelpPage::THelpPage(QHelpEngine& engine, QWidget* parent) : QTextBrowser(parent), m_engine(engine)
{
    setObjectName(QStringLiteral("HelpPage"));
}

QVariant THelpPage::loadResource(int type, const QUrl& name)
{
    // Pictures and the style sheet are named relative to the page that shows them.
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (url.scheme() != QLatin1String("qthelp"))
        return QTextBrowser::loadResource(type, name);
    const QByteArray data = m_engine.fileData(url);
    if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource)
        return QString::fromUtf8(data);
    return data;
}

THelpViewer::THelpViewer(const QString& collection, const QString& cacheFolder, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Tarn Help"));
    resize(kViewerWidth, kViewerHeight);
    m_collection = QFileInfo::exists(collection) ? writableHelpCollection(collection, cacheFolder) : QString();
    m_engine = new QHelpEngine(m_collection, this);
    if (!QFileInfo::exists(collection))
        m_error = QStringLiteral("The help file %1 was not found.").arg(collection);
    else if (m_collection.isEmpty())
        m_error = QStringLiteral("The help file %1 could not be copied to %2.").arg(collection, cacheFolder);
    else if (!m_engine->setupData())
        m_error = m_engine->error();
    else if (m_engine->registeredDocumentations().isEmpty())
        m_error = QStringLiteral("The help file %1 holds no pages.").arg(collection);
    m_ready = m_error.isEmpty();
    buildLayout();
    if (m_ready)
        m_engine->searchEngine()->scheduleIndexDocumentation();
    else
        m_page->setPlainText(m_error);
}

void THelpViewer::buildLayout()
{
    m_page = new THelpPage(*m_engine, this);
    m_page->setOpenLinks(true);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("HelpTabs"));
    QHelpContentWidget* contents = m_engine->contentWidget();
    contents->setObjectName(QStringLiteral("HelpContents"));
    m_tabs->addTab(contents, QStringLiteral("Contents"));
    m_tabs->addTab(createIndexTab(), QStringLiteral("Index"));
    m_tabs->addTab(createSearchTab(), QStringLiteral("Search"));
    connect(contents, &QHelpContentWidget::linkActivated, this, &THelpViewer::showPage);
    // The contents are built in the background; open them fully once they are there.
    const auto markShownPage = [this, contents] {
        const QModelIndex shown = contents->indexOf(m_page->source());
        if (shown.isValid())
            contents->setCurrentIndex(shown);
    };
    connect(m_engine->contentModel(), &QHelpContentModel::contentsCreated, contents,
            [contents, markShownPage] {
                contents->expandAll();
                markShownPage();
            });
    connect(m_page, &QTextBrowser::sourceChanged, contents, markShownPage);

    auto* back = new QToolButton(this);
    back->setText(QStringLiteral("Back"));
    back->setArrowType(Qt::LeftArrow);
    back->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto* forward = new QToolButton(this);
    forward->setText(QStringLiteral("Forward"));
    forward->setArrowType(Qt::RightArrow);
    forward->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(back, &QToolButton::clicked, m_page, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, m_page, &QTextBrowser::forward);
    connect(m_page, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    connect(m_page, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
    back->setEnabled(false);
    forward->setEnabled(false);

    auto* pageSide = new QWidget(this);
    auto* pageLayout = new QVBoxLayout(pageSide);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch();
    pageLayout->addLayout(buttons);
    pageLayout->addWidget(m_page);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(m_tabs);
    splitter->addWidget(pageSide);
    splitter->setSizes({kNavigationWidth, kViewerWidth - kNavigationWidth});
    splitter->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);
}

QWidget* THelpViewer::createIndexTab()
{
    auto* tab = new QWidget(this);
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(new QLabel(QStringLiteral("Type the word to look for:"), tab));
    m_indexFilter = new QLineEdit(tab);
    m_indexFilter->setObjectName(QStringLiteral("HelpIndexFilter"));
    layout->addWidget(m_indexFilter);
    QHelpIndexWidget* index = m_engine->indexWidget();
    index->setObjectName(QStringLiteral("HelpIndex"));
    layout->addWidget(index);
    connect(m_indexFilter, &QLineEdit::textChanged, index,
            [index](const QString& text) { index->filterIndices(text); });
    connect(m_indexFilter, &QLineEdit::returnPressed, index, &QHelpIndexWidget::activateCurrentItem);
    connect(index, &QHelpIndexWidget::documentActivated, this,
            [this](const QHelpLink& document) { showPage(document.url); });
    connect(index, &QHelpIndexWidget::documentsActivated, this,
            [this](const QList<QHelpLink>& documents) {
                if (!documents.isEmpty())
                    showPage(documents.first().url);
            });
    return tab;
}

QWidget* THelpViewer::createSearchTab()
{
    QHelpSearchEngine* search = m_engine->searchEngine();
    auto* tab = new QWidget(this);
    auto* layout = new QVBoxLayout(tab);
    QHelpSearchQueryWidget* query = search->queryWidget();
    query->setObjectName(QStringLiteral("HelpSearchQuery"));
    QHelpSearchResultWidget* results = search->resultWidget();
    results->setObjectName(QStringLiteral("HelpSearchResults"));
    layout->addWidget(query);
    layout->addWidget(results, 1);
    connect(query, &QHelpSearchQueryWidget::search, search,
            [search, query] { search->search(query->searchInput()); });
    connect(results, &QHelpSearchResultWidget::requestShowLink, this, &THelpViewer::showPage);
    return tab;
}

void THelpViewer::showPage(const QUrl& url)
{
    m_page->setSource(url);
}

void THelpViewer::bringUp()
{
    show();
    raise();
    activateWindow();
}

void THelpViewer::showTab(Tab tab)
{
    m_tabs->setCurrentIndex(static_cast<int>(tab));
    bringUp();
    if (tab == Tab::Index)
        m_indexFilter->setFocus();
    else if (tab == Tab::Search)
        m_engine->searchEngine()->queryWidget()->setFocus();
    if (m_page->source().isEmpty() && m_ready)
        showHome();
}

QUrl THelpViewer::pageForContext(int context) const
{
    if (!m_ready)
        return {};
    const QList<QHelpLink> links = m_engine->documentsForIdentifier(contextIdentifier(context));
    return links.isEmpty() ? QUrl() : links.first().url;
}

bool THelpViewer::showContext(int context)
{
    const QUrl url = pageForContext(context);
    bringUp();
    if (url.isEmpty()) {
        m_page->setPlainText(m_ready ? QStringLiteral("There is no help page for context %1.").arg(context)
                                     : m_error);
        return false;
    }
    m_tabs->setCurrentIndex(static_cast<int>(Tab::Contents));
    showPage(url);
    return true;
}

void THelpViewer::showKeyword(const QString& keyword)
{
    showTab(Tab::Index);
    m_indexFilter->setText(keyword);
}

void THelpViewer::showHome()
{
    const QString space = m_engine->registeredDocumentations().value(0);
    showPage(QUrl(QStringLiteral("qthelp://%1/doc/index.html").arg(space)));
}

QUrl THelpViewer::currentPage() const
{
    return m_page->source();
}

THelpViewer::Tab THelpViewer::currentTab() const
{
    return static_cast<Tab>(m_tabs->currentIndex());
}
