// A worker's FTP session: created and logged in by one function from the site's login, and
// the sockets it uses, which another thread may shut down to stop it.
#pragma once

#include "queue/QueueTypes.h"

#include <memory>
#include <mutex>

class TIdFTP;

// The sockets a worker's session uses, as descriptors of its own (so a socket closed and its
// number reused meanwhile is never touched). The worker names them; any thread may shut them
// down: a shut-down socket ends the blocking call that waits on it at once.
class SessionSockets {
public:
    SessionSockets() = default;
    ~SessionSockets();
    SessionSockets(const SessionSockets&) = delete;
    SessionSockets& operator=(const SessionSockets&) = delete;

    // Worker thread: the command socket (while connecting and after), the data socket of the
    // running transfer (or the active-mode listener), and the end of that transfer.
    void watchCommand(int socket);
    void watchData(int socket);
    void forgetData();

    // Any thread: ends the running transfer's data connection; the worker then aborts it on
    // the command connection and brings that back in step.
    void interruptData();
    // Any thread: ends both connections for good, also any the worker opens afterwards.
    void interruptAll();

private:
    void replace(int& watched, int socket);

    std::mutex m_mutex;
    int m_command = -1;
    int m_data = -1;
    bool m_closing = false;
};

// The one place a worker's session is made: the login's address, user, password and mode,
// the worker's time-outs and buffers, the sockets watched; then connected and logged in.
// Raises what the connect or the login raised.
std::unique_ptr<TIdFTP> openQueueSession(const SiteLogin& site, SessionSockets& sockets);
