// The FTP session against the real server (pyftpdlib), each test in passive and in active
// mode: login, directories, listing, downloads with overwrite and resume, uploads, rename,
// delete, size, and aborts in the middle of a transfer.
#include "ftp/IdFTP.h"
#include "support/FtpServerProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

// FNV-1a over the whole file, read in blocks.
std::uint64_t fileChecksum(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<char> block(1 << 16);
    std::uint64_t hash = 14695981039346656037ull;
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            hash ^= static_cast<unsigned char>(block[static_cast<std::size_t>(i)]);
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

class FtpRealServer : public testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        m_server = std::make_unique<FtpServerProcess>(m_root.path());
        aimAtServer(m_ftp, *m_server);
        m_ftp.Passive = GetParam();
        m_ftp.ReadTimeout = 10000;
        m_ftp.OnStatus = [this](TIdComponent*, TIdStatus, const std::string& text) {
            m_statuses.push_back(text);
        };
        m_ftp.OpenSession();
    }
    void TearDown() override
    {
        if (m_ftp.IsConnected())
            m_ftp.CloseSession();
    }

    fs::path remote(const std::string& name) const { return m_root.path() / name; }
    std::string local(const std::string& name) const { return (m_local.path() / name).string(); }

    TempDir m_root{"tarn-ftp-root"};
    TempDir m_local{"tarn-ftp-local"};
    std::unique_ptr<FtpServerProcess> m_server;
    TIdFTP m_ftp;
    std::vector<std::string> m_statuses;
};

TEST_P(FtpRealServer, LoginSystAndDirectoryCommands)
{
    EXPECT_EQ(m_ftp.LoginReply().NumericCode(), 230);
    EXPECT_EQ(m_ftp.SystemType(), "UNIX Type: L8");
    EXPECT_EQ(m_ftp.QueryCurrentDirectory(), "/");
    m_ftp.MakeDirectory("new dir");
    EXPECT_TRUE(fs::is_directory(remote("new dir")));
    m_ftp.ChangeDirectory("new dir");
    EXPECT_EQ(m_ftp.QueryCurrentDirectory(), "/new dir");
    m_ftp.ChangeDirectory("..");
    EXPECT_EQ(m_ftp.QueryCurrentDirectory(), "/");
    EXPECT_THROW(m_ftp.ChangeDirectory("missing"), EIdProtocolReplyError);
    m_ftp.DeleteDirectory("new dir");
    EXPECT_FALSE(fs::exists(remote("new dir")));
    m_ftp.CloseSession();
    EXPECT_FALSE(m_ftp.IsConnected());
}

TEST_P(FtpRealServer, ListingIsParsedWithBlanksSizesDirectoriesAndLinks)
{
    writePatternFile(remote("name with blanks.txt"), 1234);
    writePatternFile(remote("empty.bin"), 0);
    fs::create_directory(remote("folder"));
    fs::create_symlink("empty.bin", remote("link"));
    m_ftp.SetTransferType(TIdFTPTransferType::ftASCII);
    std::vector<std::string> lines;
    m_ftp.ListDirectory(&lines);
    EXPECT_EQ(lines.size(), 4u);
    std::map<std::string, TIdFTPListItem> byName;
    for (const TIdFTPListItem& item : m_ftp.ParsedListing())
        byName[item.EntryName] = item;
    ASSERT_EQ(byName.size(), 4u) << (lines.empty() ? "" : lines.front());
    EXPECT_EQ(byName["name with blanks.txt"].ByteSize, 1234);
    EXPECT_EQ(byName["name with blanks.txt"].EntryKind, TIdListEntryKind::ekFile);
    EXPECT_EQ(byName["empty.bin"].ByteSize, 0);
    EXPECT_EQ(byName["folder"].EntryKind, TIdListEntryKind::ekDirectory);
    EXPECT_EQ(byName["link"].EntryKind, TIdListEntryKind::ekSymLink);
    EXPECT_EQ(byName["link"].LinkTarget, "empty.bin");
}

TEST_P(FtpRealServer, DownloadNewOverwriteAndResumeAreByteExact)
{
    writePatternFile(remote("data.bin"), 3'000'001, 7);
    const std::uint64_t expected = fileChecksum(remote("data.bin"));
    EXPECT_EQ(m_ftp.QueryFileSize("data.bin"), 3'000'001);
    EXPECT_EQ(m_ftp.QueryFileSize("missing.bin"), -1);

    m_ftp.Download("data.bin", local("new.bin"));
    EXPECT_EQ(fileChecksum(local("new.bin")), expected);
    EXPECT_EQ(m_statuses.back(), "Transfer complete");

    writeWholeFile(local("over.bin"), std::string(5'000'000, 'x')); // longer than the download
    m_ftp.Download("data.bin", local("over.bin"), true, false);
    EXPECT_EQ(fs::file_size(local("over.bin")), 3'000'001u);
    EXPECT_EQ(fileChecksum(local("over.bin")), expected);

    fs::copy_file(remote("data.bin"), local("part.bin"));
    fs::resize_file(local("part.bin"), 1'234'567);
    m_ftp.Download("data.bin", local("part.bin"), false, true);
    EXPECT_EQ(fileChecksum(local("part.bin")), expected);

    EXPECT_THROW(m_ftp.Download("data.bin", local("part.bin")), EIdFTPFileAlreadyExists);
    EXPECT_THROW(m_ftp.Download("missing.bin", local("missing.bin")), EIdProtocolReplyError);
    EXPECT_EQ(m_ftp.QueryCurrentDirectory(), "/");
}

TEST_P(FtpRealServer, ZeroByteFileDownloadsAndUploads)
{
    writePatternFile(remote("zero.bin"), 0);
    m_ftp.Download("zero.bin", local("zero.bin"));
    ASSERT_TRUE(fs::exists(local("zero.bin")));
    EXPECT_EQ(fs::file_size(local("zero.bin")), 0u);
    m_ftp.Upload(local("zero.bin"), "zero-up.bin");
    ASSERT_TRUE(fs::exists(remote("zero-up.bin")));
    EXPECT_EQ(fs::file_size(remote("zero-up.bin")), 0u);
}

TEST_P(FtpRealServer, UploadWithStorAppeAndStou)
{
    writePatternFile(local("up.bin"), 2'500'000, 3);
    m_ftp.Upload(local("up.bin"), "up.bin");
    EXPECT_EQ(fileChecksum(remote("up.bin")), fileChecksum(local("up.bin")));

    writeWholeFile(local("tail.txt"), "appended tail");
    m_ftp.Upload(local("tail.txt"), "up.bin", true);
    EXPECT_EQ(fs::file_size(remote("up.bin")), 2'500'000u + 13);
    const std::string whole = readWholeFile(remote("up.bin"));
    EXPECT_EQ(whole.substr(2'500'000), "appended tail");
    EXPECT_EQ(whole.substr(0, 2'500'000), readWholeFile(local("up.bin")));

    const auto before = std::distance(fs::directory_iterator(m_root.path()), fs::directory_iterator());
    m_ftp.Upload(local("tail.txt"));
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(m_root.path()))
        files.push_back(entry.path());
    ASSERT_EQ(static_cast<long>(files.size()), before + 1);
    bool found = false;
    for (const auto& file : files)
        found = found || (file.filename() != "up.bin" && readWholeFile(file) == "appended tail");
    EXPECT_TRUE(found);
}

TEST_P(FtpRealServer, RenameAndDelete)
{
    writePatternFile(remote("old name.txt"), 100);
    m_ftp.RenameRemote("old name.txt", "new name.txt");
    EXPECT_FALSE(fs::exists(remote("old name.txt")));
    EXPECT_TRUE(fs::exists(remote("new name.txt")));
    m_ftp.DeleteRemoteFile("new name.txt");
    EXPECT_FALSE(fs::exists(remote("new name.txt")));
    EXPECT_THROW(m_ftp.DeleteRemoteFile("new name.txt"), EIdProtocolReplyError);
    EXPECT_THROW(m_ftp.RenameRemote("nothing", "x"), EIdProtocolReplyError);
}

TEST_P(FtpRealServer, AbortInTheMiddleOfADownloadKeepsThePartAndTheSession)
{
    const std::int64_t size = 48 << 20;
    writePatternFile(remote("big.bin"), size, 5);
    bool aborted = false;
    m_ftp.OnWork = [&](TIdComponent*, TWorkMode mode, std::int64_t count) {
        if (mode == TWorkMode::wkRead && count > 0 && !aborted) {
            aborted = true;
            m_ftp.SendAbort();
        }
    };
    EXPECT_NO_THROW(m_ftp.Download("big.bin", local("big.bin")));
    m_ftp.OnWork = nullptr;
    EXPECT_TRUE(aborted);
    EXPECT_EQ(m_statuses.back(), "Transfer aborted");
    ASSERT_TRUE(fs::exists(local("big.bin")));
    const auto part = static_cast<std::int64_t>(fs::file_size(local("big.bin")));
    EXPECT_GT(part, 0);
    EXPECT_LT(part, size);
    const std::string kept = readWholeFile(local("big.bin"));
    std::ifstream original(remote("big.bin"), std::ios::binary);
    std::string prefix(kept.size(), '\0');
    original.read(prefix.data(), static_cast<std::streamsize>(prefix.size()));
    EXPECT_TRUE(kept == prefix);
    EXPECT_EQ(m_ftp.QueryCurrentDirectory(), "/");
    EXPECT_EQ(m_ftp.QueryFileSize("big.bin"), size);
}

TEST_P(FtpRealServer, AbortInTheMiddleOfAnUploadRaisesAndTheSessionGoesOn)
{
    const std::int64_t size = 48 << 20;
    writePatternFile(local("big.bin"), size, 6);
    int writes = 0;
    m_ftp.OnWork = [&](TIdComponent*, TWorkMode mode, std::int64_t) {
        if (mode == TWorkMode::wkWrite && ++writes == 3)
            m_ftp.SendAbort();
    };
    EXPECT_THROW(m_ftp.Upload(local("big.bin"), "big.bin"), EIdFTPTransferAborted);
    m_ftp.OnWork = nullptr;
    EXPECT_EQ(m_statuses.back(), "Transfer aborted");
    EXPECT_EQ(m_ftp.QueryCurrentDirectory(), "/");
    ASSERT_TRUE(fs::exists(remote("big.bin")));
    EXPECT_LT(static_cast<std::int64_t>(fs::file_size(remote("big.bin"))), size);
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpRealServer, testing::Values(true, false),
                         [](const auto& info) { return std::string(info.param ? "passive" : "active"); });

} // namespace
