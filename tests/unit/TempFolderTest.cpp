// The temporary folder path: taken whole, however long, and always ending with '/'.
#include "platform/TempFolder.h"
#include "support/FtpServerProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

class TempFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (const char* value = std::getenv("TMPDIR"))
            m_saved = value;
    }
    void TearDown() override
    {
        if (m_saved)
            setenv("TMPDIR", m_saved->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    std::optional<std::string> m_saved;
};

TEST_F(TempFolderTest, ALongPathIsTakenWholeWithATrailingDelimiter)
{
    TempDir base("tarn-temp-folder");
    const std::filesystem::path deep =
        base.path() / std::string(60, 'a') / std::string(60, 'b') / "temporary files";
    std::filesystem::create_directories(deep);
    setenv("TMPDIR", deep.c_str(), 1);
    EXPECT_EQ(tempFolderPath(), deep.string() + "/");
}

TEST_F(TempFolderTest, APathGivenWithItsDelimiterGetsNoSecondOne)
{
    TempDir base("tarn-temp-folder");
    setenv("TMPDIR", (base.path().string() + "/").c_str(), 1);
    EXPECT_EQ(tempFolderPath(), base.path().string() + "/");
}

} // namespace
