// The local file-system layer of the local pane: paths, listing, delete, rename, make dir.
#include "app/panes/LocalFiles.h"
#include "platform/NameText.h"
#include "support/FtpServerProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

TEST(LocalPaths, ExtensionRunsFromTheLastDot)
{
    EXPECT_EQ(extensionOf("a.txt"), ".txt");
    EXPECT_EQ(extensionOf("archive.tar.gz"), ".gz");
    EXPECT_EQ(extensionOf("Makefile"), QString());
    EXPECT_EQ(extensionOf(".bashrc"), ".bashrc");
    EXPECT_EQ(extensionOf("name."), ".");
}

void writeFile(const fs::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

const PaneRow* findByName(const std::vector<PaneRow>& rows, const std::string& name)
{
    const auto found = std::find_if(rows.begin(), rows.end(),
                                    [&](const PaneRow& row) { return row.name == name; });
    return found == rows.end() ? nullptr : &*found;
}

TEST(ListLocalEntries, ListsFilesDirectoriesAndHiddenEntriesButNotDots)
{
    TempDir dir("tarn-local");
    writeFile(dir.path() / "small.txt", std::string(1536, 'x'));
    writeFile(dir.path() / ".hidden", "h");
    fs::create_directory(dir.path() / "sub");
    const auto rows = listLocalEntries(dir.path().string());
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 3u);
    EXPECT_EQ(findByName(*rows, "."), nullptr);
    EXPECT_EQ(findByName(*rows, ".."), nullptr);
    const PaneRow* file = findByName(*rows, "small.txt");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->sizeText, "      2k");
    EXPECT_EQ(file->typeText, "File");
    EXPECT_EQ(file->size, 1536);
    EXPECT_EQ(file->modifiedText.size(), 16u);
    const PaneRow* sub = findByName(*rows, "sub");
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->sizeText, "");
    EXPECT_EQ(sub->typeText, "Directory");
    EXPECT_NE(findByName(*rows, ".hidden"), nullptr);
}

TEST(ListLocalEntries, AMissingDirectoryIsNoListing)
{
    TempDir dir("tarn-local");
    EXPECT_FALSE(listLocalEntries((dir.path() / "missing").string()).has_value());
    writeFile(dir.path() / "plain", "x");
    EXPECT_FALSE(listLocalEntries((dir.path() / "plain").string()).has_value());
}

TEST(ListLocalEntries, LinksShowAsWhatTheyPointTo)
{
    TempDir dir("tarn-local");
    fs::create_directory(dir.path() / "target");
    fs::create_directory_symlink(dir.path() / "target", dir.path() / "link");
    fs::create_symlink(dir.path() / "nowhere", dir.path() / "dangling");
    const auto rows = listLocalEntries(dir.path().string());
    ASSERT_TRUE(rows.has_value());
    ASSERT_NE(findByName(*rows, "link"), nullptr);
    EXPECT_TRUE(findByName(*rows, "link")->isDirectory());
    ASSERT_NE(findByName(*rows, "dangling"), nullptr);
    EXPECT_FALSE(findByName(*rows, "dangling")->isDirectory());
}

TEST(LocalNames, NameThatIsNotUtf8ListsRenamesAndDeletesByItsBytes)
{
    TempDir dir("tarn-local");
    const std::string base = withDelimiter(dir.path().string());
    const std::string raw = "caf\xe9.txt";
    writeFile(base + raw, "latin-1 name");
    const auto rows = listLocalEntries(base);
    ASSERT_TRUE(rows.has_value());
    ASSERT_NE(findByName(*rows, raw), nullptr);

    // Shown with a replacement character, confirmed unchanged: still the same bytes.
    EXPECT_EQ(editedNameBytes(raw, nameText(raw)), raw);
    ASSERT_TRUE(renameLocalEntry(base + raw, base + "renamed\xff"));
    EXPECT_TRUE(fs::exists(base + "renamed\xff"));
    ASSERT_TRUE(deleteLocalFile(base + "renamed\xff"));
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(LocalRename, RefusesToReplaceAnExistingEntry)
{
    TempDir dir("tarn-local");
    const std::string base = withDelimiter(dir.path().string());
    writeFile(base + "a.txt", "first");
    writeFile(base + "b.txt", "second");
    EXPECT_FALSE(renameLocalEntry(base + "a.txt", base + "b.txt"));
    EXPECT_EQ(readWholeFile(base + "a.txt"), "first");
    EXPECT_EQ(readWholeFile(base + "b.txt"), "second");
    EXPECT_TRUE(renameLocalEntry(base + "a.txt", base + "c.txt"));
    EXPECT_EQ(readWholeFile(base + "c.txt"), "first");
}

TEST(LocalRemove, OnlyEmptyDirectoriesGoAndLinksGoAsLinks)
{
    TempDir dir("tarn-local");
    const std::string base = withDelimiter(dir.path().string());
    fs::create_directories(base + "full/inner");
    fs::create_directory(base + "empty");
    fs::create_directory_symlink(base + "full", base + "link");
    EXPECT_FALSE(removeLocalDirectory(base + "full/"));
    EXPECT_TRUE(fs::exists(base + "full/inner"));
    EXPECT_TRUE(removeLocalDirectory(base + "empty/"));
    EXPECT_FALSE(fs::exists(base + "empty"));
    EXPECT_TRUE(removeLocalDirectory(base + "link/"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(base + "link")));
    EXPECT_TRUE(fs::exists(base + "full/inner")) << "the link's target stays";
}

TEST(LocalMakeDir, CreatesOneLevelOnly)
{
    TempDir dir("tarn-local");
    const std::string base = withDelimiter(dir.path().string());
    EXPECT_TRUE(makeLocalDirectory(base + "new/"));
    EXPECT_TRUE(fs::is_directory(base + "new"));
    EXPECT_FALSE(makeLocalDirectory(base + "missing/child/"));
    EXPECT_FALSE(fs::exists(base + "missing"));
    EXPECT_FALSE(makeLocalDirectory(base + "new/")) << "an existing directory is a failure";
}

} // namespace
