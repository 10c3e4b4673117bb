// The queue end to end against the real server: a whole tree up and down on four
// connections; faults that end with every other item done; the exists question asked once;
// and a queue quit half way that a new queue over the same store completes by resuming.
#include "QueueFixture.h"

#include "ftp/IdFTP.h"
#include "net/IdException.h"
#include "queue/QueueRules.h"

#include <algorithm>
#include <set>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr std::int64_t kMiB = 1 << 20;

void writeFile(const fs::path& file, std::int64_t size, unsigned seed, std::int64_t modified)
{
    fs::create_directories(file.parent_path());
    writePatternFile(file, size, seed);
    const timespec times[2] = {{modified, 0}, {modified, 0}};
    ::utimensat(AT_FDCWD, file.c_str(), times, 0);
}

// About 200 files over five folder levels: empty ones, a few of some MiB, names with blanks
// and in UTF-8, and an empty folder.
void makeTree(const fs::path& root)
{
    const std::vector<std::string> folders{"", "one", "one/two", "one/two/three", "one/two/three/four",
                                           "one/two/three/four/five", "with blank", "ünïcode ø"};
    for (int i = 0; i < 200; ++i) {
        const std::int64_t size = i % 50 == 0 ? (i / 50 + 1) * kMiB : i % 7 == 0 ? 0 : (i * 997) % 20000;
        writeFile(root / folders[i % folders.size()] / ("file " + std::to_string(i) + ".bin"), size, i, 1600000000 + i);
    }
    writeFile(root / "one/two/ßpecial – näme.txt", 3000, 999, 1500000000);
    fs::create_directories(root / "one/empty");
}

} // namespace

class QueueTransfer : public QueueFixture {};

// The walk by MLSD in passive mode on four connections, and by LIST (the server offers no MLST)
// in active mode on one: pyftpdlib's active mode stalls now and then with several at once, for
// any client (lftp's mirror -R too).
class QueueTree : public QueueFixture, public testing::WithParamInterface<bool> {};

TEST_P(QueueTree, GoesUpAndComesBackWhole)
{
    const bool machineListing = GetParam();
    startServer(machineListing ? std::vector<std::string>{} : std::vector<std::string>{"--no-mlst"});
    const fs::path tree = m_local.path() / "tree";
    makeTree(tree);
    fs::create_symlink(tree / "one/file 1.bin", tree / "one/link to a file");
    fs::create_symlink(tree / "one", tree / "one/two/link to a folder");
    TreeSnapshot expected = snapshot(tree);
    expected.erase("one/two/link to a folder");
    SiteLogin login = site(machineListing ? 4 : 1);
    login.passive = machineListing;
    auto queue = makeQueue();
    queue->addUpload(login, tree.string(), "/tree");
    runToEnd(*queue);
    EXPECT_EQ(treeDifferences(snapshot(m_root.path() / "tree"), expected), "");
    EXPECT_EQ(itemsByName(*queue).at("up:/tree/one/two/link to a folder")->state, QueueItemState::Skipped);

    queue->addDownload(login, "/tree", (m_local.path() / "back").string(), QueueItemKind::Folder);
    runToEnd(*queue);
    EXPECT_EQ(treeDifferences(snapshot(m_local.path() / "back"), expected), "");
    const QueueTotals totals = queue->totals();
    EXPECT_EQ(totals.failed, 0);
    EXPECT_EQ(totals.filesLeft, 0);
    EXPECT_EQ(totals.done + totals.skipped, static_cast<int>(queue->itemIds().size()));
}

INSTANTIATE_TEST_SUITE_P(Walks, QueueTree, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "mlsd_passive" : "list_active";
                         });

struct FaultCase {
    const char* id;
    std::vector<std::string> serverOptions;
    bool upload;
    bool download;
    // The item that fails, "" for none, and a part of its reason.
    const char* failing;
    const char* reason;
    // A transfer-log command that must name victim.bin with an offset: the resume.
    const char* resumedBy;
    // The download's partial file is on a full disk.
    bool fullDisk;
};

void PrintTo(const FaultCase& fault, std::ostream* out)
{
    *out << fault.id;
}

class QueueFault : public QueueFixture, public testing::WithParamInterface<FaultCase> {
protected:
    // Eight files and a victim on both sides; on the server also a name unsafe here.
    void makeSets()
    {
        for (const fs::path& set : {m_local.path() / "set", m_root.path() / "set"}) {
            for (int i = 0; i < 8; ++i)
                writeFile(set / ("file " + std::to_string(i) + ".bin"), 200 * 1024, i, 1600000000);
            writeFile(set / "victim.bin", 3 * kMiB, 77, 1600000000);
        }
        writeFile(m_root.path() / "set" / "bad\x01name", 10, 1, 1600000000);
    }
    fs::path m_log = m_store.path() / "transfers.log";
};

TEST_P(QueueFault, EndsWithEveryOtherItemDone)
{
    const FaultCase& fault = GetParam();
    std::vector<std::string> options = fault.serverOptions;
    options.insert(options.end(), {"--transfer-log", m_log.string()});
    startServer(options);
    makeSets();
    auto queue = makeQueue();
    // On one connection, in order: the download that meets the full disk, then the others.
    const int connections = fault.fullDisk ? 1 : 4;
    if (fault.fullDisk) {
        writeFile(m_root.path() / "victim.bin", kMiB, 5, 1600000000);
        fs::create_directories(m_local.path() / "disk");
        fs::create_symlink("/dev/full", m_local.path() / "disk" / ("victim.bin" + std::string(kPartialSuffix)));
        queue->addDownload(site(1), "/victim.bin", (m_local.path() / "disk/victim.bin").string(), QueueItemKind::File);
    }
    if (fault.download)
        queue->addDownload(site(connections), "/set", (m_local.path() / "got").string(), QueueItemKind::Folder);
    if (fault.upload)
        queue->addUpload(site(connections), (m_local.path() / "set").string(), "/sent");
    runToEnd(*queue);

    for (const auto& [name, item] : itemsByName(*queue)) {
        SCOPED_TRACE(name + ": " + item->reason);
        const bool unsafe = name == "down:/set/bad\x01name";
        if (unsafe || name == fault.failing) {
            EXPECT_EQ(item->state, QueueItemState::Failed);
            EXPECT_NE(item->reason.find(unsafe ? "control character" : fault.reason), std::string::npos);
        } else if (fault.fullDisk && item->direction == QueueDirection::Download) {
            // Stopped by the full disk, not failed: the folder may have been walked, no file moved.
            EXPECT_EQ(item->state, item->kind == QueueItemKind::File ? QueueItemState::Waiting
                                                                      : item->state == QueueItemState::Waiting
                                                                            ? QueueItemState::Waiting
                                                                            : QueueItemState::Done);
        } else {
            EXPECT_EQ(item->state, QueueItemState::Done);
        }
        if (item->state == QueueItemState::Done && item->kind == QueueItemKind::File) {
            EXPECT_EQ(readWholeFile(item->localPath), readWholeFile(m_root.path() / item->remotePath.substr(1)));
        }
    }
    if (*fault.resumedBy) {
        const auto log = transferLog(m_log);
        EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const LoggedTransfer& entry) {
            return entry.command == fault.resumedBy && entry.path.ends_with("victim.bin") && entry.offset > 0;
        })) << "no " << fault.resumedBy << " of victim.bin continued a partial file";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, QueueFault,
    testing::Values(
        FaultCase{"drop_download", {"--drop-once", "victim.bin"}, false, true, "", "", "RETR", false},
        FaultCase{"drop_upload", {"--drop-once", "victim.bin"}, true, false, "", "", "APPE", false},
        FaultCase{"refused_550", {"--refuse", "victim.bin"}, false, true, "down:/set/victim.bin",
                  "550 Refused by the test server.", "", false},
        FaultCase{"two_connections_421", {"--max-connections", "2"}, true, true, "", "", "", false},
        FaultCase{"two_connections_530", {"--max-connections", "2", "--limit-reply", "530"}, true, true, "", "",
                  "", false},
        FaultCase{"full_disk", {}, true, true, "down:/victim.bin", "victim.bin", "", true}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.id); });

TEST_F(QueueTransfer, ExistingTargetsAskOnceWhenTheAnswerHoldsForAll)
{
    startServer();
    for (int i = 0; i < 5; ++i) {
        writeFile(m_local.path() / "set" / std::to_string(i), 100, i, 1600000000);
        writeFile(m_root.path() / "set" / std::to_string(i), 50, i + 10, 1600000000);
    }
    const std::string before = readWholeFile(m_root.path() / "set" / "3");
    auto queue = makeQueue(ExistsRule::Ask);
    int questions = 0;
    QObject::connect(queue.get(), &TransferQueue::existsQuestion, [&](std::int64_t) {
        ++questions;
        queue->answerExistsQuestion(ExistsRule::Resume, true);
    });
    queue->addUpload(site(4), (m_local.path() / "set").string(), "/set");
    runToEnd(*queue);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(queue->totals().done, 6);
    // Resumed: the server's first 50 bytes are kept, the rest comes from the source.
    EXPECT_EQ(readWholeFile(m_root.path() / "set" / "3"),
              before + readWholeFile(m_local.path() / "set" / "3").substr(50));
}

TEST_F(QueueTransfer, QuitHalfWayAndANewQueueOverTheStoreResumes)
{
    const fs::path log = m_store.path() / "transfers.log";
    // Slow data connections, so the quit finds files half done.
    startServer({"--rate", std::to_string(kMiB / 2), "--transfer-log", log.string()});
    for (int i = 0; i < 6; ++i)
        writeFile(m_root.path() / "set" / ("part " + std::to_string(i)), kMiB, i, 1600000000);
    {
        auto queue = makeQueue();
        queue->addDownload(site(2), "/set", (m_local.path() / "got").string(), QueueItemKind::Folder);
        queue->start();
        // Quit once half is done and a partial file holds bytes to resume from.
        ASSERT_TRUE(waitFor([&] {
            std::error_code gone; // the folder may not be there yet, a partial file renamed
            const auto partial = [&](const fs::directory_entry& entry) {
                return entry.path().extension() == kPartialSuffix && entry.file_size(gone) > 0 && !gone;
            };
            if (queue->totals().done < 3)
                return false;
            const fs::directory_iterator got(m_local.path() / "got", gone);
            return std::any_of(begin(got), end(got), partial);
        }));
    }
    // What carries a file's own name is whole; the rest waits under the partial name.
    std::set<std::string> begun;
    for (const auto& entry : fs::directory_iterator(m_local.path() / "got")) {
        if (entry.path().extension() != kPartialSuffix) {
            EXPECT_EQ(readWholeFile(entry.path()), readWholeFile(m_root.path() / "set" / entry.path().filename()));
            begun.insert(entry.path().filename().string());
        } else if (fs::file_size(entry.path()) > 0) {
            begun.insert(entry.path().stem().string());
        }
    }
    auto queue = makeQueue();
    queue->setPasswordLookup([](const SiteLogin& site) {
        return site.user == FtpServerProcess::kUser ? std::optional<std::string>(FtpServerProcess::kPassword)
                                                    : std::nullopt;
    });
    EXPECT_GT(queue->totals().filesLeft, 0);
    runToEnd(*queue);
    EXPECT_EQ(queue->totals().failed, 0);
    EXPECT_EQ(treeDifferences(snapshot(m_local.path() / "got"), snapshot(m_root.path() / "set")), "");
    std::map<std::string, int> fromZero;
    int resumed = 0;
    for (const LoggedTransfer& entry : transferLog(log)) {
        fromZero[entry.path] += entry.offset == 0;
        resumed += entry.offset > 0;
    }
    EXPECT_GT(resumed, 0);
    // A file whose first bytes had not arrived at the quit may begin again; no other.
    for (const auto& [file, count] : fromZero) {
        const bool mayBeginAgain = !begun.count(fs::path(file).filename().string()) && count == 2;
        EXPECT_TRUE(count == 1 || mayBeginAgain) << file << " was fetched from zero more than once";
    }
}

// A site on FTP over TLS: its workers never fall back to plain FTP, and never ask about a
// certificate; one the user has not trusted fails the items with the reason, a trusted one moves
// them encrypted, every data connection resuming the session as the server demands.
TEST_F(QueueTransfer, ATlsSiteMovesEncryptedOnlyUnderATrustedCertificate)
{
    const fs::path plain = m_store.path() / "plain.log";
    startServer({"--tls", "explicit", "--tls-cert", (m_store.path() / "cert.pem").string(), "--tls-require-reuse",
                 "--plaintext-log", plain.string()});
    for (int i = 0; i < 4; ++i)
        writeFile(m_local.path() / "set" / std::to_string(i), 300 * 1024, i, 1600000000);
    TIdTLSCertificateInfo certificate;
    TIdFTP probe;
    aimAtServer(probe, *m_server);
    probe.TLSSettings.Mode = TIdUseTLS::utUseRequireTLS;
    probe.TLSSettings.OnVerifyPeer = [&](const TIdTLSCertificateInfo& offered, const std::string&, int) {
        certificate = offered;
        return false;
    };
    EXPECT_THROW(probe.OpenSession(), EIdException);

    SiteLogin login = site(2);
    login.tlsMode = static_cast<int>(TIdUseTLS::utUseRequireTLS);
    auto queue = makeQueue();
    queue->addUpload(login, (m_local.path() / "set").string(), "/set");
    runToEnd(*queue);
    ASSERT_EQ(queue->totals().failed, 1);
    EXPECT_NE(queue->item(queue->itemIds().front())->reason.find("certificate"), std::string::npos)
        << queue->item(queue->itemIds().front())->reason;
    EXPECT_FALSE(fs::exists(m_root.path() / "set"));

    login.trustedFingerprint = certificate.Fingerprint;
    queue->addUpload(login, (m_local.path() / "set").string(), "/set");
    runToEnd(*queue);
    EXPECT_EQ(treeDifferences(snapshot(m_root.path() / "set"), snapshot(m_local.path() / "set")), "");
    EXPECT_EQ(readWholeFile(plain).find("PASS"), std::string::npos) << "the password crossed in clear";
}
