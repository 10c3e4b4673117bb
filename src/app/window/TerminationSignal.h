// A polite end on SIGTERM (a desktop logout, `kill PID`): the signal handler only writes a
// byte to a pipe; the window's thread reads it and ends the program as the Quit command does.
#pragma once

#include <QObject>

#include <functional>

// Calls `onSignal` on `context`'s thread whenever SIGTERM arrives. Call once per program.
void onTerminationSignal(QObject* context, std::function<void()> onSignal);
