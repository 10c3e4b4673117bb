// Where the program finds its help collection, and the working copy the viewer writes into.
#include "platform/HelpViewer.h"
#include "support/FtpServerProcess.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

void writeBytes(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

QString q(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

std::string readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("<unreadable>");
}

} // namespace

TEST(HelpCollectionLookup, PrefersTheCollectionBesideTheProgram)
{
    TempDir prefix("tarn-help-lookup");
    writeBytes(prefix.path() / "bin" / "TarnHelp.qhc", "beside");
    writeBytes(prefix.path() / "share" / "tarn" / "TarnHelp.qhc", "installed");
    EXPECT_EQ(locateHelpCollection(q(prefix.path() / "bin" / "TarnHelp.qhc")), q(prefix.path() / "bin" / "TarnHelp.qhc"));
}

TEST(HelpCollectionLookup, FallsBackToTheInstalledShareFolder)
{
    TempDir prefix("tarn-help-lookup");
    fs::create_directories(prefix.path() / "bin");
    writeBytes(prefix.path() / "share" / "tarn" / "TarnHelp.qhc", "installed");
    EXPECT_EQ(locateHelpCollection(q(prefix.path() / "bin" / "TarnHelp.qhc")),
              q(prefix.path() / "share" / "tarn" / "TarnHelp.qhc"));
}

TEST(HelpCollectionLookup, AnswersTheProgramsOwnPathWhenThereIsNone)
{
    TempDir prefix("tarn-help-lookup");
    EXPECT_EQ(locateHelpCollection(q(prefix.path() / "bin" / "TarnHelp.qhc")), q(prefix.path() / "bin" / "TarnHelp.qhc"));
}

class HelpWorkingCopy : public testing::Test {
protected:
    void SetUp() override
    {
        writeBytes(source.path() / "TarnHelp.qhc", "collection v1");
        writeBytes(source.path() / "TarnHelp.qch", "pages v1");
    }

    QString copy() { return writableHelpCollection(q(source.path() / "TarnHelp.qhc"), q(cache.path() / "help")); }

    TempDir source{"tarn-help-source"};
    TempDir cache{"tarn-help-cache"};
};

TEST_F(HelpWorkingCopy, CopiesTheCollectionWithItsPagesIntoAWritableFolder)
{
    fs::permissions(source.path() / "TarnHelp.qhc", fs::perms::owner_read);
    const QString collection = copy();
    ASSERT_EQ(collection, q(cache.path() / "help" / "TarnHelp.qhc"));
    EXPECT_EQ(readBytes(collection), "collection v1");
    EXPECT_EQ(readBytes(q(cache.path() / "help" / "TarnHelp.qch")), "pages v1");
    EXPECT_TRUE(QFileInfo(collection).isWritable());
}

TEST_F(HelpWorkingCopy, KeepsACurrentCopyAndItsSearchIndex)
{
    copy();
    writeBytes(cache.path() / "help" / ".TarnHelp" / "fts", "index");
    copy();
    EXPECT_TRUE(fs::exists(cache.path() / "help" / ".TarnHelp" / "fts"));
}

TEST_F(HelpWorkingCopy, ReplacesAStaleCopyAndDropsItsSearchIndex)
{
    copy();
    writeBytes(cache.path() / "help" / ".TarnHelp" / "fts", "index");
    writeBytes(source.path() / "TarnHelp.qch", "pages version 2");
    copy();
    EXPECT_EQ(readBytes(q(cache.path() / "help" / "TarnHelp.qch")), "pages version 2");
    EXPECT_FALSE(fs::exists(cache.path() / "help" / ".TarnHelp" / "fts"));
}

TEST_F(HelpWorkingCopy, AnswersNothingWhenTheCacheCannotBeMade)
{
    writeBytes(cache.path() / "blocked", "a file where the folder should be");
    EXPECT_TRUE(writableHelpCollection(q(source.path() / "TarnHelp.qhc"), q(cache.path() / "blocked" / "help")).isEmpty());
}
