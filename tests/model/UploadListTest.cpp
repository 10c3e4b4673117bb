// Upload-list lines: keys in any letter case, the separator before FILE= dropped, names
// trimmed, the exact site name, the file name's length, and names that carry line breaks.
#include "model/UploadList.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const std::vector<std::string> kSites = {"Main", "Backup", "two words"};

struct LineCase {
    const char* id;
    std::string line;
    UploadLineFault fault;
    std::string siteName;
    std::string fileName;
    int siteIndex;
};

class UploadLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(UploadLineTest, SplitsAndChecks)
{
    const LineCase& c = GetParam();
    const std::set<std::string> present = {"/data/report.txt", "notes.txt", "/data/a b.txt",
                                           std::string(260, 'f')};
    const UploadLine parsed = splitUploadLine(c.line, kSites, [&](const std::string& name) {
        return present.count(name) > 0;
    });
    EXPECT_EQ(parsed.fault, c.fault);
    EXPECT_EQ(parsed.siteName, c.siteName);
    EXPECT_EQ(parsed.fileName, c.fileName);
    EXPECT_EQ(parsed.siteIndex, c.siteIndex);
}

using F = UploadLineFault;

INSTANTIATE_TEST_SUITE_P(
    Lines, UploadLineTest,
    testing::Values(
        LineCase{"usual-form", "SITE=Main  FILE=/data/report.txt", F::None, "Main", "/data/report.txt", 0},
        LineCase{"lower-case-keys-one-blank", "site=Main file=/data/report.txt", F::None, "Main", "/data/report.txt", 0},
        LineCase{"mixed-case-keys", "Site=Backup File=notes.txt", F::None, "Backup", "notes.txt", 1},
        LineCase{"text-before-site-ignored", "upload: SITE=Main FILE=notes.txt", F::None, "Main", "notes.txt", 0},
        LineCase{"blank-inside-site-name", "SITE=two words FILE=notes.txt", F::None, "two words", "notes.txt", 2},
        LineCase{"blanks-after-file-key-trimmed", "SITE=Main FILE=    /data/report.txt  ", F::None, "Main", "/data/report.txt", 0},
        LineCase{"blank-inside-file-name", "SITE=Main FILE=/data/a b.txt", F::None, "Main", "/data/a b.txt", 0},
        LineCase{"tab-separator-dropped", "SITE=Main\tFILE=notes.txt", F::None, "Main", "notes.txt", 0},
        LineCase{"no-separator-loses-last-character", "SITE=MainXFILE=notes.txt", F::None, "Main", "notes.txt", 0},
        LineCase{"site-name-is-case-exact", "site=main file=/data/report.txt", F::UnknownSite, "main", "/data/report.txt", -1},
        LineCase{"unknown-site", "SITE=Other FILE=notes.txt", F::UnknownSite, "Other", "notes.txt", -1},
        LineCase{"missing-file", "SITE=Main FILE=gone.txt", F::MissingFile, "Main", "gone.txt", 0},
        LineCase{"file-before-site", "FILE=notes.txt SITE=Main", F::Format, "", "", -1},
        LineCase{"keys-touching", "SITE=FILE=notes.txt", F::Format, "", "", -1},
        LineCase{"one-character-between", "SITE=xFILE=notes.txt", F::UnknownSite, "", "notes.txt", -1},
        LineCase{"no-site-key", "FILE=notes.txt", F::Format, "", "", -1},
        LineCase{"no-file-key", "SITE=Main notes.txt", F::Format, "", "", -1},
        LineCase{"empty-line", "", F::Format, "", "", -1},
        LineCase{"file-name-cut-at-260", "SITE=Main FILE=" + std::string(270, 'f'), F::None, "Main", std::string(260, 'f'), 0},
        LineCase{"line-feed-inside-site-name", "SITE=Ma\nin FILE=notes.txt", F::Format, "Ma\nin", "notes.txt", -1},
        LineCase{"carriage-return-inside-file-name", "SITE=Main FILE=notes.txt\r\nDELE x", F::Format, "Main", "notes.txt\r\nDELE x", -1},
        LineCase{"nul-inside-file-name", std::string("SITE=Main FILE=notes\0.txt", 25), F::Format, "Main", std::string("notes\0.txt", 10), -1}),
    [](const testing::TestParamInfo<LineCase>& info) {
        std::string name = info.param.id;
        for (char& c : name)
            if (c == '-')
                c = '_';
        return name;
    });

TEST(UploadLineReason, NamesEachFaultAsTheBoxShowsIt)
{
    EXPECT_STREQ(uploadLineReason(UploadLineFault::Format), "Format must be \"Site=sitename File=Filename\"");
    EXPECT_STREQ(uploadLineReason(UploadLineFault::UnknownSite), "Site name not defined");
    EXPECT_STREQ(uploadLineReason(UploadLineFault::MissingFile), "File does not exist");
}

TEST(UploadListLines, SplitsAtEveryLineEndAndKeepsANulForTheRefusal)
{
    using Lines = std::vector<std::string>;
    EXPECT_EQ(uploadListLines(""), Lines{});
    EXPECT_EQ(uploadListLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(uploadListLines("a\n\nb\n"), (Lines{"a", "", "b"}));
    const Lines withNul = uploadListLines(std::string("a\nb\0c\nd", 7));
    EXPECT_EQ(withNul, (Lines{"a", std::string("b\0c", 3), "d"}));
    EXPECT_EQ(firstLineWithNul(withNul), 1);
    EXPECT_EQ(firstLineWithNul({"a", "b"}), -1);
    EXPECT_EQ(quotedListLine(std::string("b\0c", 3)), "b\\0c");
    const std::string quoted = quotedListLine(std::string(399, 'x') + "\xC3\xA9" + std::string(5000, 'y'));
    EXPECT_EQ(quoted, std::string(399, 'x') + "...") << "cut before a character, not inside it";
}

} // namespace
