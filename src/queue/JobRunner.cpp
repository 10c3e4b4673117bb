// Jobs on a worker's session.
#include "queue/JobRunner.h"

#include "model/PathText.h"

#include "ftp/IdFTP.h"
#include "ftp/IdSimpleServer.h"
#include "net/IdIOHandlerSocket.h"
#include "queue/QueueFailures.h"
#include "queue/QueueLocalFiles.h"
#include "queue/QueueRemoteFiles.h"
#include "queue/QueueRules.h"
#include "queue/QueueSession.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Thrown between steps once a stop is asked for; never leaves the runner.
struct JobStopped {};

JobOutcome finished(JobStatus status, std::int64_t bytes = 0, std::string reason = std::string())
{
    JobOutcome outcome;
    outcome.status = status;
    outcome.bytes = bytes;
    outcome.reason = std::move(reason);
    return outcome;
}

JobOutcome askAbout(const FileFacts& target)
{
    JobOutcome outcome = finished(JobStatus::NeedsAnswer);
    outcome.target = target;
    return outcome;
}

// Retried like a cut connection: the next attempt continues from what did arrive.
JobOutcome sizeMismatch(std::int64_t source, std::int64_t target)
{
    JobOutcome outcome = finished(JobStatus::Failed, 0,
                                  "The sizes differ: the source has " + std::to_string(source)
                                      + " bytes, the target " + std::to_string(target) + ".");
    outcome.failure = FailureKind::Transient;
    return outcome;
}

bool ruleNeedsTime(ExistsRule rule)
{
    return rule == ExistsRule::OverwriteIfNewer;
}

// A worker is not the window: nothing needs its turn between chunks, so a large file moves in
// large chunks, with the fewest system calls; a small one gets no more room than it needs.
void sizeChunks(TIdFTP& ftp, std::int64_t fileSize)
{
    constexpr std::int64_t kSmallest = 64 * 1024;
    constexpr std::int64_t kLargest = 1024 * 1024;
    const auto chunk = static_cast<int>(fileSize < 0 ? kLargest : std::clamp(fileSize, kSmallest, kLargest));
    ftp.RecvBufferSize = chunk;
    ftp.SendBufferSize = chunk;
}

} // namespace

JobRunner::JobRunner(TIdFTP& ftp, SessionSockets& sockets, JobProgress& progress)
    : m_ftp(ftp), m_sockets(sockets), m_progress(progress)
{
    m_ftp.OnWorkBegin = [this](TIdComponent* sender, TWorkMode, std::int64_t) {
        watchDataLink(sender);
        abortIfStopped();
    };
    m_ftp.OnWork = [this](TIdComponent*, TWorkMode, std::int64_t count) {
        m_progress.bytes.store(m_base + count, std::memory_order_relaxed);
        abortIfStopped();
    };
    m_ftp.OnWorkEnd = [this](TIdComponent*, TWorkMode) {
        m_sockets.forgetData();
        abortIfStopped();
    };
    // In active mode the wait for the server's data connection blocks on a listener, which
    // exists from the PORT command on.
    m_commandWatch.OnSend = [this](TIdConnectionIntercept*, std::string&) { noteListener(); };
    if (!m_ftp.Passive)
        m_ftp.SetIntercept(&m_commandWatch);
}

JobRunner::~JobRunner()
{
    m_ftp.SetIntercept(nullptr);
    m_ftp.OnWorkBegin = nullptr;
    m_ftp.OnWork = nullptr;
    m_ftp.OnWorkEnd = nullptr;
}

void JobRunner::watchDataLink(TIdComponent* sender)
{
    auto* link = dynamic_cast<TIdTCPConnection*>(sender);
    if (link && link->Socket() && link->Socket()->Binding())
        m_sockets.watchData(link->Socket()->Binding()->Handle());
    // From the first byte of an upload on, the target is this item's own partial file.
    if (m_sending)
        m_targetTouched = true;
}

void JobRunner::noteListener()
{
    if (auto* listener = dynamic_cast<TIdSimpleServer*>(m_ftp.DataLink()); listener && listener->ListenSocket() >= 0)
        m_sockets.watchData(listener->ListenSocket());
}

void JobRunner::abortIfStopped()
{
    if (m_abortSent || !m_stopRequested || !m_stopRequested())
        return;
    m_abortSent = true;
    m_ftp.SendAbort();
}

void JobRunner::checkStopped() const
{
    if (m_stopRequested && m_stopRequested())
        throw JobStopped();
}

JobOutcome JobRunner::run(const TransferJob& job, const std::function<bool()>& stopRequested)
{
    m_stopRequested = stopRequested;
    m_base = 0;
    m_sending = false;
    m_abortSent = false;
    m_targetTouched = false;
    m_renamedTo.clear();
    m_progress.bytes.store(0, std::memory_order_relaxed);
    JobOutcome outcome;
    try {
        checkStopped();
        outcome = dispatch(job);
    } catch (const JobStopped&) {
        outcome = finished(JobStatus::Stopped);
    } catch (...) {
        const FailureInfo failure = classifyFailure(std::current_exception());
        // Whatever a stop made fail is no failure of the item.
        outcome = finished(stopRequested() ? JobStatus::Stopped : JobStatus::Failed, 0, failure.reason);
        outcome.failure = failure.kind;
    }
    m_sockets.forgetData();
    m_stopRequested = nullptr;
    outcome.targetTouched = m_targetTouched;
    outcome.renamedTo = m_renamedTo;
    return outcome;
}

JobOutcome JobRunner::dispatch(const TransferJob& job)
{
    const bool folder = job.kind == QueueItemKind::Folder;
    if (job.direction == QueueDirection::Download)
        return folder ? downloadFolder(job) : downloadFile(job);
    return folder ? uploadFolder(job) : uploadFile(job);
}

// --- downloads ---

FileFacts JobRunner::downloadSource(const TransferJob& job)
{
    // Only what the walk (or the pane) did not tell is asked.
    FileFacts source = job.source;
    if (source.size < 0)
        source.size = m_ftp.QueryFileSize(job.remotePath);
    if (!source.modified)
        source.modified = remoteModified(m_ftp, job.remotePath);
    return source;
}

std::string JobRunner::freeLocalName(const std::string& path) const
{
    // A name whose partial file exists is this item's own earlier attempt: it continues.
    for (int n = 1;; ++n) {
        std::string candidate = renamedPath(path, n);
        if (!localFileFacts(candidate).exists)
            return candidate;
    }
}

JobOutcome JobRunner::downloadFile(const TransferJob& job)
{
    // The walk failed such a name already; a retry of it must not touch anything either.
    if (std::string unsafe = unsafeNameReason(lastPathComponent(withoutDelimiter(job.remotePath))); !unsafe.empty())
        return finished(JobStatus::Failed, 0, unsafe);
    const FileFacts source = downloadSource(job);
    std::string target = job.localPath;
    const FileFacts existing = localFileFacts(target);
    if (existing.exists) {
        switch (decideExists(job.rule, source, existing)) {
        case ExistsAction::Skip: return finished(JobStatus::Skipped, 0, "The target exists.");
        case ExistsAction::Ask: return askAbout(existing);
        case ExistsAction::Rename: m_renamedTo = target = freeLocalName(target); break;
        case ExistsAction::Resume:
            // The existing file becomes the partial file that the download continues.
            if (!localFileFacts(target + std::string(kPartialSuffix)).exists)
                fs::rename(target, target + std::string(kPartialSuffix));
            break;
        case ExistsAction::Overwrite: break;
        }
    }
    const std::string partial = target + std::string(kPartialSuffix);
    const FileFacts part = localFileFacts(partial);
    std::int64_t offset = part.exists ? part.size : 0;
    if ((source.size >= 0 && offset > source.size) || (offset > 0 && !m_ftp.ProbeResume()))
        offset = 0;
    sizeChunks(m_ftp, source.size - offset);
    const std::int64_t received = receive(job.remotePath, partial, offset);
    checkStopped();
    if (source.size >= 0 && received != source.size)
        return sizeMismatch(source.size, received);
    if (source.modified)
        setLocalModified(partial, *source.modified);
    fs::rename(partial, target);
    return finished(JobStatus::Done, received);
}

std::int64_t JobRunner::receive(const std::string& remotePath, const std::string& partialPath, std::int64_t offset)
{
    fs::create_directories(fs::path(partialPath).parent_path());
    // A new file is made by the first byte, so a refused download leaves nothing behind.
    TIdFileStream file(partialPath, offset > 0 ? TIdFileStream::Mode::OpenReadWrite
                                               : TIdFileStream::Mode::CreateOnWrite);
    file.Seek(offset);
    m_base = offset;
    m_progress.bytes.store(offset, std::memory_order_relaxed);
    m_ftp.DownloadToStream(remotePath, file, offset > 0);
    if (m_ftp.LastTransferAborted()) {
        file.Close();
        checkStopped();
        throw EIdFTPTransferAborted();
    }
    // An empty file gets no byte that would make it.
    file.Open();
    file.Close();
    return file.Size();
}

JobOutcome JobRunner::downloadFolder(const TransferJob& job)
{
    fs::create_directories(job.localPath);
    JobOutcome outcome = finished(JobStatus::Done);
    outcome.entries = listRemoteFolder(m_ftp, job.remotePath);
    checkStopped();
    for (FolderEntry& entry : outcome.entries) {
        std::string unsafe = unsafeNameReason(entry.name);
        if (!unsafe.empty()) {
            entry.problem = std::move(unsafe);
            entry.problemFails = true;
        }
    }
    return outcome;
}

// --- uploads ---

FileFacts JobRunner::uploadTarget(const TransferJob& job)
{
    // A walk's long listing knows no times; the rule that needs one asks the server.
    const bool needsTime = ruleNeedsTime(job.rule);
    if (job.target && (!job.target->exists || !needsTime || job.target->modified))
        return *job.target;
    return remoteFileFacts(m_ftp, job.remotePath, needsTime);
}

std::string JobRunner::freeRemoteName(const std::string& path)
{
    for (int n = 1;; ++n) {
        std::string candidate = renamedPath(path, n);
        if (m_ftp.QueryFileSize(candidate) < 0)
            return candidate;
    }
}

JobOutcome JobRunner::uploadFile(const TransferJob& job)
{
    const FileFacts source = localFileFacts(job.localPath);
    if (!source.exists)
        throw fs::filesystem_error("Cannot read the file", job.localPath,
                                   std::make_error_code(std::errc::no_such_file_or_directory));
    std::string target = job.remotePath;
    std::int64_t offset = 0;
    if (job.continueTarget) {
        offset = m_ftp.QueryFileSize(target);
    } else if (const FileFacts existing = uploadTarget(job); existing.exists) {
        switch (decideExists(job.rule, source, existing)) {
        case ExistsAction::Skip: return finished(JobStatus::Skipped, 0, "The target exists.");
        case ExistsAction::Ask: return askAbout(existing);
        case ExistsAction::Rename: m_renamedTo = target = freeRemoteName(target); break;
        // The size as it is now: APPE adds to whatever the server holds.
        case ExistsAction::Resume: offset = m_ftp.QueryFileSize(target); break;
        case ExistsAction::Overwrite: break;
        }
    }
    if (offset < 0 || offset > source.size)
        offset = 0;
    sizeChunks(m_ftp, source.size - offset);
    send(job.localPath, target, offset);
    checkStopped();
    // A whole STOR was checked by the session against SIZE already: one command less a file.
    const std::int64_t checked = offset == 0 ? m_ftp.LastStoredSize() : -1;
    const std::int64_t stored = checked >= 0 ? checked : remoteSize(m_ftp, target);
    if (stored != source.size)
        return sizeMismatch(source.size, stored);
    if (source.modified)
        setRemoteModified(m_ftp, target, *source.modified);
    return finished(JobStatus::Done, stored);
}

void JobRunner::send(const std::string& localPath, const std::string& remotePath, std::int64_t offset)
{
    TIdFileStream file(localPath, TIdFileStream::Mode::OpenRead);
    file.Seek(offset);
    m_base = offset;
    m_progress.bytes.store(offset, std::memory_order_relaxed);
    m_sending = true;
    m_ftp.UploadFromStream(file, remotePath, offset > 0);
    m_sending = false;
}

JobOutcome JobRunner::uploadFolder(const TransferJob& job)
{
    JobOutcome outcome = finished(JobStatus::Done);
    outcome.entries = listLocalFolder(job.localPath);
    // 257 made it; anything else may mean it exists already, which its listing then shows.
    if (m_ftp.RawCommand("MKD " + job.remotePath) == 257)
        return outcome;
    const TIdRFCReply refusal = m_ftp.LastReply();
    try {
        outcome.existingTargets = listRemoteFolder(m_ftp, job.remotePath);
        checkStopped();
    } catch (const EIdProtocolReplyError&) {
        m_ftp.LastReply().Assign(refusal);
        m_ftp.RaiseReplyError();
    }
    return outcome;
}
