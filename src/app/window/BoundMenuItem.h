// A menu item bound to an action: it shows the action's picture, enabled state and short cut
// and triggers the action, but keeps a caption of its own when it was given one.
#pragma once

#include <QAction>
#include <QPointer>
#include <QString>

// An item without a caption of its own shows the action's caption. When the action's caption
// changes, the item takes the new caption only if its caption equalled the action's caption
// just before the change; otherwise it keeps its own.
class BoundMenuItem : public QAction {
    Q_OBJECT
public:
    // An empty `ownCaption` means "show the action's caption".
    BoundMenuItem(QAction* action, const QString& ownCaption, QObject* parent);

    QAction* boundAction() const { return m_action; }
    // Shows `key` beside the caption, for a key that its pane answers; the item keeps it
    // whatever the action's own short cut, and it is live only while the menu is open.
    void showKey(const QKeySequence& key);

private:
    void followAction();

    QPointer<QAction> m_action;
    QString m_lastActionCaption;
    bool m_ownKey = false;
};
