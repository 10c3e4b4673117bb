// Routes every help request of the application to the help viewer: F1 on a control, the
// title bar's "?" followed by a click, and the commands of the Help menu.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>


#include "platform/HelpViewer.h"

// The widget property that carries a control's help context number.
inline constexpr const char* kHelpContextProperty = "helpContext";
// The page on using the help viewer.
inline constexpr int kHelpOnHelpContext = 60;

// Help requests as the application raises them.
enum class HelpRequest : unsigned { Context = 1, Quit = 2, ContextPopup = 8, Keyword = 0x101 };

// What the viewer is asked to do, with the numbers of the classic help viewer's commands.
enum class HtmlHelpCommand : unsigned {
    DisplayTopic = 0,
    DisplayToc = 1,
    DisplayIndex = 2,
    DisplaySearch = 3,
    HelpContext = 15,
    CloseAll = 18,
};

// The help context of `widget`, or of its nearest parent that has one; 0 when none has.
int helpContextOf(const QWidget* widget);

class TUseHTMLHelp : public QObject {
    Q_OBJECT
public:
    // `helpFile` answers the application's help collection at the time of each request;
    // `owner` is the window the viewer belongs to. Installs itself as the application's help
    // hook; destroying it removes the hook and closes the viewer.
    TUseHTMLHelp(std::function<QString()> helpFile, QWidget* owner);
    ~TUseHTMLHelp() override;

    // The hook: every request is handled here and the framework does nothing more.
    bool HelpHook(HelpRequest command, const QVariant& data, bool& callDefault);
    // One call of the viewer.
    void HtmlHelp(HtmlHelpCommand command, const QVariant& data);

    // The viewer, once a request has opened it (tests look at it).
    THelpViewer* viewer() const { return m_viewer; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    THelpViewer* viewerFor(const QString& collection);
    bool requestContextHelp(QObject* watched);

    std::function<QString()> m_helpFile;
    QPointer<QWidget> m_owner;
    QPointer<THelpViewer> m_viewer;
};
