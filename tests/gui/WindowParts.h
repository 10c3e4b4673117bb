// The main window's parts as a test reaches them: by the objectName the window gives each.
#pragma once

#include "app/panes/PaneView.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

template <typename T>
T* partOf(const QObject& window, const char* name)
{
    T* part = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(part, nullptr) << "the window has no " << name;
    return part;
}

inline QAction* actionOf(const QObject& window, const char* name)
{
    return partOf<QAction>(window, name);
}

inline PaneView* paneOf(const QObject& window, const char* name)
{
    return partOf<PaneView>(window, name);
}
