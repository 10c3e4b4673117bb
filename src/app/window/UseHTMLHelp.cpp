// The application's help hook: F1 and "What's This" clicks become context requests, and every
// request becomes one call of the help viewer.
#include "app/window/UseHTMLHelp.h"

#include "platform/HelpViewer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStandardPaths>
#include <QWidget>

namespace {

constexpr const char* kSourceCollection = "sourceCollection";

QString helpCacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/help");
}

} // namespace

int helpContextOf(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        const int context = widget->property(kHelpContextProperty).toInt();
        if (context > 0)
            return context;
    }
    return 0;
}

TUseHTMLHelp::TUseHTMLHelp(std::function<QString()> helpFile, QWidget* owner)
    : QObject(owner), m_helpFile(std::move(helpFile)), m_owner(owner)
{
    qApp->installEventFilter(this);
}

TUseHTMLHelp::~TUseHTMLHelp()
{
    qApp->removeEventFilter(this);
    if (m_viewer)
        m_viewer->deleteLater();
}

bool TUseHTMLHelp::HelpHook(HelpRequest command, const QVariant& data, bool& callDefault)
{
    callDefault = false;
    switch (command) {
    case HelpRequest::Context:
    case HelpRequest::ContextPopup:
        HtmlHelp(HtmlHelpCommand::HelpContext, data);
        break;
    case HelpRequest::Keyword:
        HtmlHelp(HtmlHelpCommand::DisplayIndex, data);
        break;
    case HelpRequest::Quit:
        HtmlHelp(HtmlHelpCommand::CloseAll, 0);
        break;
    default:
        HtmlHelp(HtmlHelpCommand::DisplayTopic, 0);
        break;
    }
    return true;
}

void TUseHTMLHelp::HtmlHelp(HtmlHelpCommand command, const QVariant& data)
{
    if (command == HtmlHelpCommand::CloseAll) {
        if (m_viewer)
            m_viewer->close();
        return;
    }
    THelpViewer* viewer = viewerFor(locateHelpCollection(m_helpFile()));
    switch (command) {
    case HtmlHelpCommand::HelpContext:
        viewer->showContext(data.toInt());
        break;
    case HtmlHelpCommand::DisplayToc:
        viewer->showTab(THelpViewer::Tab::Contents);
        break;
    case HtmlHelpCommand::DisplayIndex:
        if (data.typeId() == QMetaType::QString)
            viewer->showKeyword(data.toString());
        else
            viewer->showTab(THelpViewer::Tab::Index);
        break;
    case HtmlHelpCommand::DisplaySearch:
        viewer->showTab(THelpViewer::Tab::Search);
        break;
    default:
        viewer->showTab(THelpViewer::Tab::Contents);
        viewer->showHome();
        break;
    }
}

// A window opened while a modal dialog runs can only be used when it belongs to that dialog,
// so the viewer moves to the active modal dialog (the site editor, say) or back to the owner.
THelpViewer* TUseHTMLHelp::viewerFor(const QString& collection)
{
    if (m_viewer && m_viewer->property(kSourceCollection).toString() != collection) {
        m_viewer->deleteLater();
        m_viewer = nullptr;
    }
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent)
        parent = m_owner;
    if (!m_viewer) {
        m_viewer = new THelpViewer(collection, helpCacheFolder(), parent);
        m_viewer->setProperty(kSourceCollection, collection);
        // F1 inside the viewer asks how to use it.
        m_viewer->setProperty(kHelpContextProperty, kHelpOnHelpContext);
    } else if (m_viewer->parentWidget() != parent) {
        m_viewer->setParent(parent, Qt::Window);
    }
    return m_viewer;
}

bool TUseHTMLHelp::requestContextHelp(QObject* watched)
{
    // F1 reaches the focused control first.
    const int context = helpContextOf(qobject_cast<QWidget*>(watched));
    if (context == 0)
        return false;
    bool callDefault = false;
    return HelpHook(HelpRequest::Context, context, callDefault);
}

bool TUseHTMLHelp::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && watched->isWidgetType())
            return requestContextHelp(watched);
        break;
    }
    case QEvent::QueryWhatsThis:
        if (helpContextOf(qobject_cast<QWidget*>(watched)) > 0) {
            event->accept();
            return true;
        }
        break;
    case QEvent::WhatsThis: {
        const int context = helpContextOf(qobject_cast<QWidget*>(watched));
        if (context > 0) {
            bool callDefault = false;
            return HelpHook(HelpRequest::Context, context, callDefault);
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
