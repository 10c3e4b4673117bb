// The command line: which arguments are options and which are left to the window, and the
// boxes of a headless run as lines on a stream.
#include "app/ProgramOptions.h"
#include "platform/StandardErrorDialogs.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using Mode = ProgramOptions::Mode;

TEST(ProgramOptions, OptionsStandAloneAndEverythingElseGoesToTheWindow)
{
    struct Case {
        std::vector<std::string> arguments;
        Mode mode;
        std::string listPath;
    };
    const std::vector<Case> cases = {
        {{}, Mode::Window, ""},
        {{"uploads.txt"}, Mode::Window, ""},
        {{"a.txt", "b.txt"}, Mode::Window, ""},
        {{"--help"}, Mode::Help, ""},
        {{"-h"}, Mode::Help, ""},
        {{"--version"}, Mode::Version, ""},
        {{"--help", "x"}, Mode::UsageError, ""},
        {{"--frobnicate"}, Mode::UsageError, ""},
        {{"uploads.txt", "-x"}, Mode::UsageError, ""},
        {{"--batch", "/tmp/uploads.txt"}, Mode::Batch, "/tmp/uploads.txt"},
        {{"--batch"}, Mode::UsageError, ""},
        {{"--batch", ""}, Mode::UsageError, ""},
        {{"--batch", "a.txt", "b.txt"}, Mode::UsageError, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const ProgramOptions options = parseProgramOptions(c.arguments);
        EXPECT_EQ(options.mode, c.mode);
        EXPECT_EQ(options.listPath, c.listPath);
        EXPECT_EQ(options.error.empty(), c.mode != Mode::UsageError);
    }
}

TEST(ProgramOptions, TheWindowNeedsADisplayForThePlatformItWillTake)
{
    EXPECT_NE(missingDisplayText("", "", ""), "");
    EXPECT_EQ(missingDisplayText("", "", "wayland-0"), "");
    EXPECT_NE(missingDisplayText("xcb", "", "wayland-0"), "");
    EXPECT_EQ(missingDisplayText("xcb;vnc:size=800x600", "", ""), "");
}

TEST(StandardErrorDialogs, EachBoxIsOneLineAnsweredAsClosedAndQuestionsAreCancelled)
{
    std::ostringstream out;
    StandardErrorDialogs dialogs(out);
    EXPECT_EQ(dialogs.messageBox("Invalid input line: \"x\"\rSite name not defined\r\nCannot upload.",
                                 MsgIcon::Error, {MsgButton::Abort}),
              MsgButton::Abort);
    EXPECT_EQ(dialogs.messageBox("Disconnect and close?", MsgIcon::Confirmation,
                                 {MsgButton::Yes, MsgButton::Cancel}),
              MsgButton::Cancel);
    QString value = "kept";
    EXPECT_FALSE(dialogs.inputQuery("Rename", "New name", value));
    EXPECT_EQ(value, "kept");
    QString file = "proposed";
    EXPECT_FALSE(dialogs.saveFileName("Save as", "All files (*)", file));
    EXPECT_EQ(out.str().substr(0, out.str().find("Rename")),
              "Invalid input line: \"x\" Site name not defined Cannot upload.\nDisconnect and close?\n");
}

} // namespace
