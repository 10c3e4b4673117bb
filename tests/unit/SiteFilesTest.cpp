// Site files: the writer's exact bytes, the three line endings, and which files are refused.
#include "sites/SiteFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TSiteRecord site(const std::string& name, bool passive)
{
    return {name, name + ".example.org:2121", "ann", "Qe7Tzp", "/pub/" + name, "/home/ann/", passive};
}

std::string block(const std::string& name, const std::string& seventh, const std::string& end = "\r\n")
{
    std::string text;
    for (const std::string& line : std::vector<std::string>{"Name=" + name, "Host=h", "User=u", "Pass=p",
                                                            "RDir=/r", "LDir=/l", seventh})
        text += line + end;
    return text;
}

} // namespace

TEST(SiteFiles, WriterEndsEveryLineWithCrLfAndLeavesTheSeventhEmptyWhenActive)
{
    EXPECT_EQ(siteFileText({site("a", true), site("b", false)}),
              "Name=a\r\nHost=a.example.org:2121\r\nUser=ann\r\nPass=Qe7Tzp\r\nRDir=/pub/a\r\nLDir=/home/ann/\r\nPassive\r\n"
              "Name=b\r\nHost=b.example.org:2121\r\nUser=ann\r\nPass=Qe7Tzp\r\nRDir=/pub/b\r\nLDir=/home/ann/\r\n\r\n");
    EXPECT_EQ(siteFileText({}), "");
}

TEST(SiteFiles, WrittenSitesReadBackByteForByte)
{
    std::vector<TSiteRecord> sites = {site("plain", true), site("S\xE9jour \xFF", false), site("", false)};
    sites[1].LDir = "/home/ann/caf\xE9/";
    sites[1].Pass = std::string("\x80\x01 odd", 6);
    const SiteFileContents back = readSiteFile(siteFileText(sites));
    ASSERT_EQ(back.fault, SiteFileFault::None);
    EXPECT_EQ(back.sites, sites);
}

TEST(SiteFiles, EveryLineEndingImportsAlike)
{
    const std::string crLf = block("x", "Passive") + block("y", "");
    for (const char* end : {"\n", "\r"}) {
        const SiteFileContents contents = readSiteFile(block("x", "Passive", end) + block("y", "", end));
        ASSERT_EQ(contents.fault, SiteFileFault::None) << end;
        EXPECT_EQ(contents.sites, readSiteFile(crLf).sites);
    }
}

TEST(SiteFiles, FaultyFilesImportNothing)
{
    const std::string good = block("ok", "");
    const std::string cut = block("cut", "");
    const struct {
        const char* what;
        std::string text;
        SiteFileFault fault;
    } cases[] = {
        {"no lines", "", SiteFileFault::LineCount},
        {"13 lines, checked by count first", good + cut.substr(0, cut.rfind("LDir")), SiteFileFault::LineCount},
        {"block cut short after three lines", good + "Name=c\r\nHost=h\r\nUser=u\r\n", SiteFileFault::LineCount},
        {"seventh line in other case", good + block("b", "passive"), SiteFileFault::BadBlock},
        {"keyword in other case", (good + block("b", "")).replace(good.size(), 5, "name="), SiteFileFault::BadBlock},
        {"line shorter than its keyword", block("b", "").replace(0, 6, "Name"), SiteFileFault::BadBlock},
        {"NUL in a name", block(std::string("a\0b", 3), ""), SiteFileFault::BadBlock},
        {"NUL in a directory", block("b", "").replace(block("b", "").find("/r"), 1, std::string(1, '\0')), SiteFileFault::BadBlock},
    };
    for (const auto& c : cases) {
        const SiteFileContents contents = readSiteFile(c.text);
        EXPECT_EQ(contents.fault, c.fault) << c.what;
        if (c.fault != SiteFileFault::None) {
            EXPECT_TRUE(contents.sites.empty()) << c.what;
        }
    }
}

TEST(SiteFiles, SeventhLineStartingWithPassiveMeansPassiveAndValuesAreCut)
{
    const std::string longHost(1200, 'h');
    std::string text = block("a", "Passive mode please");
    text.replace(text.find("Host=h"), 6, "Host=" + longHost);
    const SiteFileContents contents = readSiteFile(text);
    ASSERT_EQ(contents.sites.size(), 1u);
    EXPECT_TRUE(contents.sites[0].Passive);
    EXPECT_EQ(contents.sites[0].Host, std::string(999, 'h'));
}
