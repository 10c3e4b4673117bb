// The application's default error report: a message box with the error's message, for every
// error that no window routine handles itself.
#pragma once

#include <exception>

void showErrorReport(const std::exception& error);
