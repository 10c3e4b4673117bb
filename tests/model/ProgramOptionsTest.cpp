// The command line: which arguments are options and which are left to the window.
#include "model/ProgramOptions.h"

#include <gtest/gtest.h>

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

} // namespace
