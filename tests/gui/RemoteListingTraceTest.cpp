// The remote pane with a listing some of whose lines cannot be read: the readable entries are
// shown and counted, and the trace says how many lines were skipped (and says nothing when
// every line was read).
#include "ConnectedWindowSupport.h"
#include "protocol/FtpScript.h"

namespace {

class RemoteListingTrace : public ConnectedWindowFixture {
protected:
    void listWith(const std::string& listing)
    {
        ftptest::addLogin(m_scripted)
            .reply("TYPE A", "200 ok\r\n").reply("PWD", "257 \"/\"\r\n")
            .pasv().acceptData().reply("LIST", "150 listing\r\n").sendData(listing).closeData()
            .send("226 Done\r\n");
        connectToScript(m_scripted);
        ASSERT_TRUE(m_scripted.played());
    }
    ScriptedFtpServer m_scripted;
};

TEST_F(RemoteListingTrace, UnreadableLinesAreSkippedCountedAndTraced)
{
    listWith("-rw-r--r-- 1 a b 10 Jan 01 2025 first.txt\r\n"
             "this line is no entry\r\n"
             "2002-09-02  18:48       <DIR>          dos dir\r\n"
             "-rw-r--r-- 1 a b 20 Foo 01 2025 bad-month.txt\r\n"
             "-rw-r--r-- 1 a b 30 Jan 02 2025 last.txt\r\n");
    EXPECT_EQ(sortedRemoteNames(), (std::vector<std::string>{"dos dir", "first.txt", "last.txt"}));
    EXPECT_EQ(window->statusPanel(3), "Remote entries=3");
    EXPECT_TRUE(traceHas("2 line\\(s\\) could not be read and were skipped"));
}

TEST_F(RemoteListingTrace, FullyReadListingAddsNoNote)
{
    listWith("-rw-r--r-- 1 a b 10 Jan 01 2025 only.txt\r\n");
    EXPECT_EQ(remoteNames(), std::vector<std::string>{"only.txt"});
    EXPECT_FALSE(traceHas("could not be read"));
}

} // namespace
