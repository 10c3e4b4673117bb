// The queue's pure rules by table: what an existing target gets, which server names are
// unsafe locally, renamed paths, how failures are judged, and machine listing lines.
#include "ftp/IdFTP.h"
#include "ftp/IdFTPListMachine.h"
#include "ftp/IdStream.h"
#include "model/PathText.h"
#include "queue/QueueFailures.h"
#include "queue/QueueRules.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

constexpr std::int64_t kOld = 1600000000;
constexpr std::int64_t kNew = 1700000000;

FileFacts facts(std::int64_t size, std::optional<std::int64_t> modified = std::nullopt)
{
    return FileFacts{true, size, modified};
}

} // namespace

TEST(QueueRules, ExistingTargetGetsTheRulesAction)
{
    using R = ExistsRule;
    using A = ExistsAction;
    const struct {
        R rule;
        FileFacts source, target;
        A action;
    } rows[] = {
        {R::Ask, facts(10), facts(5), A::Ask},
        {R::Overwrite, facts(10), facts(10), A::Overwrite},
        {R::Skip, facts(10), facts(5), A::Skip},
        {R::Rename, facts(10), facts(10), A::Rename},
        {R::OverwriteIfNewer, facts(10, kNew), facts(10, kOld), A::Overwrite},
        {R::OverwriteIfNewer, facts(10, kOld), facts(10, kNew), A::Skip},
        {R::OverwriteIfNewer, facts(10, kNew), facts(10, kNew), A::Skip},
        {R::OverwriteIfNewer, facts(10), facts(10, kOld), A::Skip}, // no time: the target stays
        {R::OverwriteIfSizeDiffers, facts(10), facts(5), A::Overwrite},
        {R::OverwriteIfSizeDiffers, facts(10), facts(10), A::Skip},
        {R::OverwriteIfSizeDiffers, facts(-1), facts(10), A::Skip},
        {R::Resume, facts(10), facts(4), A::Resume},
        {R::Resume, facts(10), facts(10), A::Skip},     // complete already
        {R::Resume, facts(10), facts(12), A::Overwrite}, // cannot be a part of the source
        {R::Resume, facts(-1), facts(12), A::Resume},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.rule));
        EXPECT_EQ(decideExists(row.rule, row.source, row.target), row.action);
    }
}

TEST(QueueRules, ServerNamesUnsafeAsLocalNamesAreRefused)
{
    for (const char* unsafe : {"", ".", "..", "../etc", "a/b", "/abs", "tab\there", "bell\x07", "del\x7f"})
        EXPECT_FALSE(unsafeNameReason(unsafe).empty()) << unsafe;
    for (const char* safe : {"...", "..hidden", "a b", "ünïcode ß.txt", "-dash", "back\\slash"})
        EXPECT_EQ(unsafeNameReason(safe), "") << safe;
}

TEST(QueueRules, PathsJoinAndRename)
{
    EXPECT_EQ(joinPath("/", "a b"), "/a b");
    EXPECT_EQ(joinPath("/up/", "x"), "/up/x");
    EXPECT_EQ(joinPath("/up", "x"), "/up/x");
    EXPECT_EQ(lastPathComponent(withoutDelimiter("/up/tree/")), "tree");
    EXPECT_EQ(renamedPath("/d/report.txt", 2), "/d/report (2).txt");
    EXPECT_EQ(renamedPath("/d.x/.profile", 1), "/d.x/.profile (1)");
    EXPECT_EQ(renamedPath("/d.x/archive.tar.gz", 1), "/d.x/archive.tar (1).gz");
    EXPECT_EQ(retryPause(3, std::chrono::milliseconds(100)), std::chrono::milliseconds(400));
}

TEST(QueueRules, FailuresAreJudgedRetryFinalOrFullDisk)
{
    using K = FailureKind;
    const struct {
        std::exception_ptr failure;
        K kind;
        const char* reason;
    } rows[] = {
        {std::make_exception_ptr(EIdProtocolReplyError(421, "Too many.\r\n")), K::Transient, "421 Too many."},
        {std::make_exception_ptr(EIdProtocolReplyError(425, "No data connection.")), K::Transient, ""},
        {std::make_exception_ptr(EIdProtocolReplyError(426, "Aborted.")), K::Transient, ""},
        {std::make_exception_ptr(EIdProtocolReplyError(550, "No such file.\r\n")), K::Permanent, "550 No such file."},
        {std::make_exception_ptr(EIdConnClosedGracefully()), K::Transient, ""},
        {std::make_exception_ptr(EIdReadTimeout("Read Timeout")), K::Transient, ""},
        {std::make_exception_ptr(EIdSocketError(10054, "Socket Error # 10054\r\nReset.")), K::Transient,
         "Socket Error # 10054 Reset."},
        {std::make_exception_ptr(EIdFileError("Cannot write", ENOSPC)), K::DiskFull, "Cannot write"},
        {std::make_exception_ptr(EIdFileError("Cannot create", EACCES)), K::Permanent, ""},
        {std::make_exception_ptr(EIdException("The remote file name contains a line break")), K::Permanent, ""},
    };
    for (const auto& row : rows) {
        const FailureInfo info = classifyFailure(row.failure);
        SCOPED_TRACE(info.reason);
        EXPECT_EQ(info.kind, row.kind);
        if (*row.reason) {
            EXPECT_EQ(info.reason, row.reason);
        }
    }
    EXPECT_TRUE(refusedForTooMany(421, "Service not available"));
    EXPECT_TRUE(refusedForTooMany(530, "Sorry, the maximum number of clients (4) are already connected"));
    EXPECT_TRUE(refusedForTooMany(530, "Too many users, try again later."));
    EXPECT_FALSE(refusedForTooMany(530, "Login incorrect."));
}

TEST(QueueRules, MachineListingLines)
{
    const struct {
        const char* line;
        const char* name;
        const char* type;
        std::int64_t size;
        std::optional<std::int64_t> modified;
    } rows[] = {
        {"type=file;size=1024;modify=20240131120000; notes.txt", "notes.txt", "file", 1024, 1706702400},
        {"Type=DIR;Modify=20240131120000.123;UNIX.mode=0755; a  b ", "a  b ", "dir", -1, 1706702400},
        {"type=cdir;modify=20240131120000; .", ".", "cdir", -1, 1706702400},
        {"type=OS.unix=slink:/x;size=3;modify=bad; link", "link", "os.unix=slink:/x", 3, std::nullopt},
        {"size=7; ../../etc/passwd", "../../etc/passwd", "", 7, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        const auto entry = ParseMachineListLine(row.line);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->Name, row.name);
        EXPECT_EQ(entry->Type, row.type);
        EXPECT_EQ(entry->Size, row.size);
        EXPECT_EQ(entry->Modified, row.modified);
    }
    EXPECT_FALSE(ParseMachineListLine("type=file;size=1;"));
    EXPECT_EQ(FormatMachineTime(1706702400), "20240131120000");
    EXPECT_FALSE(ParseMachineTime("20241331120000"));
}
