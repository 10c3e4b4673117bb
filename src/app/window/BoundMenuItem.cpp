// Menu items that mirror their action and follow its caption only while they showed it.
#include "app/window/BoundMenuItem.h"

BoundMenuItem::BoundMenuItem(QAction* action, const QString& ownCaption, QObject* parent)
    : QAction(parent), m_action(action), m_lastActionCaption(action->text())
{
    setText(ownCaption.isEmpty() ? action->text() : ownCaption);
    followAction();
    connect(action, &QAction::changed, this, &BoundMenuItem::followAction);
    connect(this, &QAction::triggered, action, [action] { action->trigger(); });
}

void BoundMenuItem::followAction()
{
    if (!m_action)
        return;
    const QString caption = m_action->text();
    if (caption != m_lastActionCaption) {
        if (text() == m_lastActionCaption)
            setText(caption);
        m_lastActionCaption = caption;
    }
    setEnabled(m_action->isEnabled());
    setIcon(m_action->icon());
    if (!m_ownKey)
        setShortcut(m_action->shortcut());
    setCheckable(m_action->isCheckable());
    setChecked(m_action->isChecked());
}

void BoundMenuItem::showKey(const QKeySequence& key)
{
    m_ownKey = true;
    setShortcutContext(Qt::WidgetShortcut);
    setShortcut(key);
}
