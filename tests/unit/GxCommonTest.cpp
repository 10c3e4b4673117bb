// The folder chooser: what it answers for a chosen folder, Cancel, and a path that is no folder.
#include "app/panes/GxCommon.h"
#include "platform/Dialogs.h"
#include "support/FtpServerProcess.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class SelectFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        auto scripted = std::make_unique<ScriptedDialogs>();
        m_dialogs = scripted.get();
        installDialogs(std::move(scripted));
    }
    void TearDown() override { installDialogs(nullptr); }

    ScriptedDialogs* m_dialogs = nullptr;
    TempDir m_dir{"tarn-select-folder"};
};

TEST_F(SelectFolderTest, GivesTheChosenFolderAndStartsAtTheInitialOne)
{
    const QString folder = QString::fromStdString(m_dir.path().string());
    m_dialogs->answerText(folder);
    QString chosen = QStringLiteral("stale");
    EXPECT_TRUE(SelectFolder(QStringLiteral("Pick"), QStringLiteral("/tmp"), chosen));
    EXPECT_EQ(chosen, folder);
    ASSERT_EQ(m_dialogs->questions.size(), 1u);
    EXPECT_EQ(m_dialogs->questions[0].kind, QStringLiteral("folder"));
    EXPECT_EQ(m_dialogs->questions[0].caption, QStringLiteral("Pick"));
    EXPECT_EQ(m_dialogs->questions[0].proposed, QStringLiteral("/tmp"));
}

TEST_F(SelectFolderTest, CancelAnswersFalseWithNoFolder)
{
    m_dialogs->answerCancel();
    QString chosen = QStringLiteral("stale");
    EXPECT_FALSE(SelectFolder(QStringLiteral("Pick"), QString(), chosen));
    EXPECT_TRUE(chosen.isEmpty());
}

TEST_F(SelectFolderTest, APathThatIsNoFolderIsRefused)
{
    const std::string file = m_dir.path().string() + "/plain.txt";
    std::ofstream(file) << "x";
    m_dialogs->answerText(QString::fromStdString(file));
    QString chosen;
    EXPECT_FALSE(SelectFolder(QStringLiteral("Pick"), QString(), chosen));
    EXPECT_TRUE(chosen.isEmpty());
}

} // namespace
