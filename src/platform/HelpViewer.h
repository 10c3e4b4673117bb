// The help window: contents, index and full-text search beside a page browser, on QHelpEngine,
// opened at a help context number; and where the program finds its help collection.
#pragma once

#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

class QHelpEngine;
class QLineEdit;
class QTabWidget;

// The collection the program uses: `helpFile` when it exists, else the installed one in
// <folder of helpFile>/../share/tarn/, else `helpFile` (the viewer then says it is missing).
QString locateHelpCollection(const QString& helpFile);

// QHelpEngine writes into its collection and keeps the search index beside it, so the engine
// opens a copy in `cacheFolder`, refreshed whenever the original changes. Answers the copy's
// path, or an empty string when it cannot be made.
QString writableHelpCollection(const QString& collection, const QString& cacheFolder);

// Shows the pages of the help collection, resolving qthelp:// addresses through the engine.
class THelpPage : public QTextBrowser {
    Q_OBJECT
public:
    THelpPage(QHelpEngine& engine, QWidget* parent);
    QVariant loadResource(int type, const QUrl& name) override;

private:
    QHelpEngine& m_engine;
};

class THelpViewer : public QWidget {
    Q_OBJECT
public:
    enum class Tab { Contents = 0, Index = 1, Search = 2 };

    // `collection` is the help collection (.qhc) to show; `cacheFolder` holds its working copy.
    THelpViewer(const QString& collection, const QString& cacheFolder, QWidget* parent = nullptr);

    // The collection opened and holds pages; otherwise failureReason() says why.
    bool isReady() const { return m_ready; }
    QString failureReason() const { return m_error; }
    QString collectionFile() const { return m_collection; }

    // Brings the viewer up with `tab` in front; the page stays as it is.
    void showTab(Tab tab);
    // Shows the page written for help context `context`; false when none carries it.
    bool showContext(int context);
    // The index, filtered to the entries that start with `keyword`.
    void showKeyword(const QString& keyword);
    // The first page of the contents.
    void showHome();
    // The address of the page for `context`, empty when none carries it.
    QUrl pageForContext(int context) const;

    QUrl currentPage() const;
    Tab currentTab() const;
    QHelpEngine& engine() { return *m_engine; }
    THelpPage* page() const { return m_page; }

private:
    void buildLayout();
    void showPage(const QUrl& url);
    QWidget* createIndexTab();
    QWidget* createSearchTab();
    void bringUp();

    QString m_collection;
    QString m_error;
    bool m_ready = false;
    QHelpEngine* m_engine = nullptr;
    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_indexFilter = nullptr;
    THelpPage* m_page = nullptr;
};
