// Closing, quitting and resetting while a session is open, against the real FTP server.
#include "MainWindowSupport.h"

#include "ftp/IdFTP.h"
#include "net/IdAntiFreeze.h"
#include "net/IdLogEvent.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>

namespace {

class MainWindowSession : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        storeSites({"one"});
        start();
        show();
    }

    void connectSession()
    {
        TIdFTP& session = window->session();
        session.Host = "127.0.0.1";
        session.Port = server.port();
        session.SetUsername(FtpServerProcess::kUser);
        session.SetPassword(FtpServerProcess::kPassword);
        session.OpenSession();
        ASSERT_TRUE(session.IsConnected());
    }

    TempDir serverRoot{"tarn-window-server"};
    FtpServerProcess server{serverRoot.path()};
};

TEST_F(MainWindowSession, TheWindowOwnsAConfiguredSessionWithTheTraceAttached)
{
    TFTPForm& form = *window;
    EXPECT_EQ(form.session().RecvBufferSize, 8192);
    EXPECT_EQ(form.session().SendBufferSize, 4096);
    EXPECT_EQ(form.session().MaxLineAction, TIdMaxLineAction::maException);
    EXPECT_EQ(form.session().Intercept(), static_cast<TIdConnectionIntercept*>(&form.traceLog()));
    EXPECT_EQ(ActiveAntiFreeze, &form.pump());
    EXPECT_FALSE(form.pump().OnlyWhenIdle);
    EXPECT_EQ(form.pump().IdleTimeOut, 50);
}

TEST_F(MainWindowSession, PickingASiteSetsThePassiveFlagOfTheSession)
{
    TFTPForm& form = *window;
    partOf<QCheckBox>(form, "UsePassive")->setChecked(true);
    EXPECT_TRUE(form.session().Passive);
    partOf<QCheckBox>(form, "UsePassive")->setChecked(false);
    EXPECT_FALSE(form.session().Passive);
}

TEST_F(MainWindowSession, ClosingWhileConnectedAndCancellingKeepsEverything)
{
    connectSession();
    script->answerBox(MsgButton::Cancel);
    EXPECT_FALSE(window->close());
    ASSERT_EQ(script->boxes.size(), 1u);
    EXPECT_EQ(script->boxes[0].text,
              "You are closing the application while connected.\nDisconnect and close?");
    EXPECT_EQ(script->boxes[0].icon, MsgIcon::Confirmation);
    EXPECT_EQ(script->boxes[0].buttons, (std::vector<MsgButton>{MsgButton::Yes, MsgButton::Cancel}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->session().IsConnected());
    EXPECT_TRUE(storedSettings().empty());
}

TEST_F(MainWindowSession, ClosingWhileConnectedAndAgreeingDisconnectsAndWritesSettings)
{
    connectSession();
    script->answerBox(MsgButton::Yes);
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->session().IsConnected());
    EXPECT_EQ(storedSettings().size(), 18u);
}

TEST_F(MainWindowSession, QuitWhileConnectedAsksNothing)
{
    connectSession();
    actionOf(*window, "acQuit")->trigger();
    EXPECT_TRUE(script->boxes.empty());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->session().IsConnected());
    EXPECT_EQ(storedSettings().size(), 18u);
}

TEST_F(MainWindowSession, ResetWhileConnectedDisconnectsAndStaysOpen)
{
    connectSession();
    actionOf(*window, "acReset")->trigger();
    EXPECT_FALSE(window->session().IsConnected());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(script->boxTexts(),
              QStringList{"Program has been reset to beginning - reconnect if necessary"});
}

} // namespace
