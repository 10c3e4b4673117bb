// The application's default error report: a message box with the error's message, for every
// error that no window routine handles itself, and the guard that hands errors to it at the
// boundary of a slot or event handler, so that no exception unwinds through Qt's frames.
#pragma once

#include <concepts>
#include <exception>
#include <utility>

void showErrorReport(const std::exception& error);
// Shows an error of an unknown kind (anything not derived from std::exception).
void showUnknownErrorReport();

// Runs `handler`; whatever escapes it is shown by the default error report.
template <class Handler>
void runReportingErrors(Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        showErrorReport(error);
    } catch (...) {
        showUnknownErrorReport();
    }
}

// Wraps a slot so that connect() never lets an exception reach Qt:
// connect(action, &QAction::triggered, this, reportingErrors([this] { acConnectExecute(); }));
// The wrapper takes only the leading signal arguments the handler accepts, as a plain slot does.
template <class Handler>
auto reportingErrors(Handler handler)
{
    return [handler = std::move(handler)]<class... Arguments>(Arguments&&... arguments) mutable
               requires std::invocable<Handler&, Arguments...>
    {
        runReportingErrors([&] { handler(std::forward<Arguments>(arguments)...); });
    };
}
