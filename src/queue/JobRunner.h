// One job on a worker's session: a file up or down with its exists rule, resume, size check
// and time, or one level of a folder walked and its target folder made.
#pragma once

#include "net/IdIntercept.h"
#include "queue/QueueTypes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class TIdFTP;
class SessionSockets;

// What the controller's thread reads of a running job: its item and the bytes on its target.
struct JobProgress {
    std::atomic<std::int64_t> item{0};
    std::atomic<std::int64_t> bytes{0};
};

class JobRunner {
public:
    // Installs the work handlers on the session for as long as the runner lives.
    JobRunner(TIdFTP& ftp, SessionSockets& sockets, JobProgress& progress);
    ~JobRunner();
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    // Runs the job; failures become the outcome. `stopRequested` is asked between steps and
    // on every block of data: once it says yes, the transfer is aborted (ABOR, then the
    // replies read) and the outcome is Stopped.
    JobOutcome run(const TransferJob& job, const std::function<bool()>& stopRequested);

private:
    JobOutcome dispatch(const TransferJob& job);
    JobOutcome downloadFile(const TransferJob& job);
    JobOutcome uploadFile(const TransferJob& job);
    JobOutcome downloadFolder(const TransferJob& job);
    JobOutcome uploadFolder(const TransferJob& job);
    // Answers the size of the partial file afterwards.
    std::int64_t receive(const std::string& remotePath, const std::string& partialPath, std::int64_t offset);
    void send(const std::string& localPath, const std::string& remotePath, std::int64_t offset);
    FileFacts downloadSource(const TransferJob& job);
    FileFacts uploadTarget(const TransferJob& job);
    std::string freeLocalName(const std::string& path) const;
    std::string freeRemoteName(const std::string& path);
    void watchDataLink(TIdComponent* sender);
    void noteListener();
    void abortIfStopped();
    void checkStopped() const;

    TIdFTP& m_ftp;
    SessionSockets& m_sockets;
    JobProgress& m_progress;
    TIdConnectionIntercept m_commandWatch;
    std::function<bool()> m_stopRequested;
    // Bytes on the target before this transfer (a resume starts after them).
    std::int64_t m_base = 0;
    bool m_sending = false;
    bool m_abortSent = false;
    bool m_targetTouched = false;
    std::string m_renamedTo;
};
