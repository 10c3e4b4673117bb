// The demo site tool (tarn_demo_site) run as make demo runs it: the site it stores must load in
// the window's site store with every value, the password included.
#include "SiteTestSupport.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

class DemoSiteTool : public SiteStoreFixture {
protected:
    // Runs the tool with `arguments` in this process's settings folder; answers its exit code.
    static int runTool(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), TARN_DEMO_SITE_TOOL);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, TARN_DEMO_SITE_TOOL, nullptr, nullptr, argv.data(), environ) != 0)
            return -1;
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<std::string> demoArguments(const std::string& name, const std::string& port) const
    {
        return {"--name", name, "--host", "127.0.0.1:" + port, "--user", "demo", "--password", "pa ss:w0rd",
                "--rdir", "/", "--ldir", localDir.path().string(), "--passive"};
    }
};

TEST_F(DemoSiteTool, StoresASiteTheStoreLoadsWithItsPassword)
{
    ASSERT_EQ(runTool(demoArguments("Demo", "2121")), 0);
    const std::vector<TSiteRecord> stored = storedSites();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].Name, "Demo");
    EXPECT_EQ(stored[0].Host, "127.0.0.1:2121");
    EXPECT_EQ(stored[0].User, "demo");
    EXPECT_NE(stored[0].Pass, "pa ss:w0rd");
    EXPECT_EQ(DecodePassword(stored[0].Pass), "pa ss:w0rd");
    EXPECT_EQ(stored[0].RDir, "/");
    EXPECT_EQ(stored[0].LDir, localDir.path().string());
    EXPECT_TRUE(stored[0].Passive);
}

TEST_F(DemoSiteTool, StoringAgainReplacesTheSiteOfThatNameAndKeepsTheOthers)
{
    storeSites({"Alpha", "Zulu"});
    const TSiteRecord alpha = SiteList[0];
    ASSERT_EQ(runTool(demoArguments("Demo", "2121")), 0);
    ASSERT_EQ(runTool(demoArguments("DEMO", "3131")), 0);
    const std::vector<TSiteRecord> stored = storedSites();
    ASSERT_EQ(names(stored), (std::vector<std::string>{"Alpha", "Demo", "Zulu"}));
    EXPECT_EQ(stored[1].Host, "127.0.0.1:3131");
    EXPECT_EQ(stored[0], alpha);
}

TEST_F(DemoSiteTool, RefusesASiteWithoutHostAndStoresNothing)
{
    EXPECT_NE(runTool({"--name", "Demo"}), 0);
    EXPECT_TRUE(storedSites().empty());
}

} // namespace
