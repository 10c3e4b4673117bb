// The connection's byte buffers and the file and memory streams.
#include "ftp/IdBuffers.h"
#include "ftp/IdStream.h"
#include "net/IdException.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

TEST(ManagedBuffer, ConsumesFromTheFrontAndReportsEachRemoval)
{
    TIdManagedBuffer buffer;
    std::vector<std::int64_t> removed;
    buffer.OnRemove = [&](TIdSimpleBuffer&, std::int64_t n) { removed.push_back(n); };
    buffer.Append("hello world", 11);
    EXPECT_EQ(buffer.Extract(6), "hello ");
    EXPECT_EQ(buffer.Size(), 5);
    EXPECT_EQ(std::string(buffer.Memory(), 5), "world");
    buffer.Remove(5);
    EXPECT_EQ(buffer.Size(), 0);
    EXPECT_EQ(removed, (std::vector<std::int64_t>{6, 5}));
    buffer.Append("x", 1);
    buffer.Clear();
    EXPECT_EQ(buffer.Size(), 0);
    EXPECT_EQ(removed.size(), 2u) << "emptying reports nothing";
}

TEST(ManagedBuffer, KeepsBytesInOrderAcrossCompaction)
{
    TIdManagedBuffer buffer;
    std::string expected;
    std::int64_t next = 0;
    auto byteAt = [](std::int64_t i) { return static_cast<char>('a' + i % 23); };
    // Appends of 5000 and removals of 4093 bytes walk the offset over the compaction point
    // many times; the queued bytes must stay exactly the ones not yet consumed.
    std::int64_t consumed = 0;
    for (int round = 0; round < 200; ++round) {
        std::string chunk;
        for (int i = 0; i < 5000; ++i)
            chunk.push_back(byteAt(next++));
        buffer.Append(chunk.data(), static_cast<std::int64_t>(chunk.size()));
        const std::string taken = buffer.Extract(4093);
        for (std::size_t i = 0; i < taken.size(); ++i)
            ASSERT_EQ(taken[i], byteAt(consumed + static_cast<std::int64_t>(i))) << "round " << round;
        consumed += 4093;
        ASSERT_EQ(buffer.Size(), next - consumed);
    }
}

TEST(ManagedBuffer, TakingMoreThanHeldRaises)
{
    TIdManagedBuffer buffer;
    buffer.Append("abc", 3);
    try {
        buffer.Extract(4);
        FAIL() << "no exception";
    } catch (const EIdNotEnoughDataInBuffer& e) {
        EXPECT_STREQ(e.what(), "Not enough data in buffer.");
    }
    EXPECT_THROW(buffer.Remove(4), EIdNotEnoughDataInBuffer);
    EXPECT_EQ(buffer.Size(), 3) << "a refused removal changes nothing";
}

TEST(SimpleBuffer, IsAStreamWithPosition)
{
    TIdSimpleBuffer buffer;
    buffer.Write("abcdef", 6);
    buffer.Seek(2);
    char out[3] = {};
    EXPECT_EQ(buffer.Read(out, 3), 3);
    EXPECT_EQ(std::string(out, 3), "cde");
    buffer.Remove(2);
    EXPECT_EQ(std::string(buffer.Memory(), static_cast<std::size_t>(buffer.Size())), "cdef");
}

class FileStreamTest : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove(m_path); }
    std::string path() const { return m_path.string(); }
    std::filesystem::path m_path = std::filesystem::temp_directory_path() /
                                   ("tarn-stream-" + std::to_string(::getpid()));
};

TEST_F(FileStreamTest, SmallWritesReachTheFileInOrder)
{
    std::string expected;
    {
        TIdFileStream out(path(), TIdFileStream::Mode::Create);
        for (int i = 0; i < 100000; ++i) {
            const std::string piece = std::to_string(i) + ",";
            out.Write(piece.data(), static_cast<std::int64_t>(piece.size()));
            expected += piece;
        }
        EXPECT_EQ(out.Size(), static_cast<std::int64_t>(expected.size()));
        out.Close();
    }
    EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(m_path)),
              static_cast<std::int64_t>(expected.size()));
    TIdFileStream in(path(), TIdFileStream::Mode::OpenRead);
    std::string back(expected.size(), '\0');
    std::int64_t got = 0;
    while (got < static_cast<std::int64_t>(back.size())) {
        const std::int64_t n = in.Read(back.data() + got, 4096);
        ASSERT_GT(n, 0);
        got += n;
    }
    EXPECT_EQ(back, expected);
    char extra;
    EXPECT_EQ(in.Read(&extra, 1), 0);
}

TEST_F(FileStreamTest, AppendingKeepsTheExistingBytesAndTruncationCuts)
{
    {
        TIdFileStream out(path(), TIdFileStream::Mode::Create);
        out.Write("partial", 7);
    }
    {
        TIdFileStream out(path(), TIdFileStream::Mode::OpenReadWrite);
        EXPECT_EQ(out.Size(), 7);
        out.Seek(out.Size());
        out.Write("+rest-junk", 10);
        out.SetSize(12);
        out.Close();
    }
    TIdFileStream in(path(), TIdFileStream::Mode::OpenRead);
    char bytes[32] = {};
    EXPECT_EQ(in.Read(bytes, 32), 12);
    EXPECT_EQ(std::string(bytes, 12), "partial+rest");
}

TEST_F(FileStreamTest, MissingFileRaisesWithItsName)
{
    try {
        TIdFileStream in(path() + "-missing", TIdFileStream::Mode::OpenRead);
        FAIL() << "no exception";
    } catch (const EIdException& e) {
        EXPECT_NE(std::string(e.what()).find("-missing"), std::string::npos);
    }
}

// The descriptor the stream holds for `path`, found through /proc.
int descriptorOf(const std::string& path)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == std::filesystem::path(path))
            return std::stoi(entry.path().filename().string());
    }
    return -1;
}

// A close that fails (on a network file system: data that never reached the disk) must not
// pass for a finished download.
TEST_F(FileStreamTest, AFailedCloseRaisesWithTheSystemsText)
{
    TIdFileStream out(path(), TIdFileStream::Mode::Create);
    out.Write("data", 4);
    out.Flush();
    const int fd = descriptorOf(std::filesystem::canonical(m_path).string());
    ASSERT_GE(fd, 0);
    ::close(fd);  // the close below now fails as a lost write would
    try {
        out.Close();
        FAIL() << "the failed close passed unnoticed";
    } catch (const EIdException& e) {
        EXPECT_NE(std::string(e.what()).find("Bad file descriptor"), std::string::npos) << e.what();
    }
    EXPECT_NO_THROW(out.Close()) << "the descriptor is given up once";
}

} // namespace
