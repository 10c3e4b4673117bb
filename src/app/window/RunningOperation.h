// The state of the command running on the window's session. The window owns it; the transfer
// frame keeps it up to date while data moves, and every command of the session marks itself in
// it with a Scope, so a handler run from the pump can tell that the session is busy.
#pragma once

#include <cstdint>

struct RunningOperation {
    // A transfer is moving data: from its first work event to its last.
    bool TransferActive = false;
    // Abort was pressed; the next work event acts on it.
    bool AbortRequested = false;
    // The size of the running download as the server told it, less a resumed part; 0 unknown.
    std::int64_t ExpectedSize = 0;
    // Kilobytes per second of the running transfer.
    double TransferSpeed = 0;
    // Session commands on the stack, also while they wait in the pump.
    int depth = 0;
    // An abort went out during the running command.
    bool aborted = false;
    // The user disconnected, reset or quit: a command that fails under it is not reported.
    bool endedByUser = false;

    // A command of the session is running (possibly paused in the pump under this call).
    [[nodiscard]] bool running() const { return depth > 0 || TransferActive; }

    // Marks a session command as running for as long as it is on the stack; the outermost one
    // starts with no abort recorded.
    class Scope {
    public:
        explicit Scope(RunningOperation& operation) : m_operation(operation)
        {
            if (m_operation.depth++ == 0)
                m_operation.aborted = false;
        }
        ~Scope() { --m_operation.depth; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        RunningOperation& m_operation;
    };
};
