// The headless run of an upload list (tarn --batch LIST): the window's own run, with no
// window shown, boxes on standard error and the trace's lines on standard output.
#pragma once

#include <QString>

#include <ostream>

// Before the application object exists: take the platform that needs no display, whatever
// the environment names, so the run works from cron with no X server.
void prepareHeadlessPlatform();

// Carries out the list at `listPath`; answers the exit status (see ProgramOptions.h). Needs
// the application object; leaves the stored settings and sites as they were.
int runBatch(const QString& listPath, std::ostream& progress, std::ostream& messages);
