// Reading the upload list: every kind of line end, a missing last one, empty lines kept.
#include "model/TextLines.h"

#include <gtest/gtest.h>

namespace {

struct LinesCase {
    const char* id;
    std::string text;
    std::vector<std::string> lines;
};

class TextLinesTest : public testing::TestWithParam<LinesCase> {};

TEST_P(TextLinesTest, SplitsIntoLines)
{
    EXPECT_EQ(splitTextLines(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TextLinesTest,
    testing::Values(
        LinesCase{"empty_file", "", {}},
        LinesCase{"crlf", "SITE=a  FILE=/x\r\nSITE=b  FILE=/y\r\n", {"SITE=a  FILE=/x", "SITE=b  FILE=/y"}},
        LinesCase{"lf", "one\ntwo\n", {"one", "two"}},
        LinesCase{"cr", "one\rtwo\r", {"one", "two"}},
        LinesCase{"no_final_line_end", "one\r\ntwo", {"one", "two"}},
        LinesCase{"empty_lines_kept", "one\n\n\ntwo\n", {"one", "", "", "two"}},
        LinesCase{"lone_empty_line", "\r\n", {""}},
        LinesCase{"cr_then_crlf", "a\r\r\nb", {"a", "", "b"}},
        LinesCase{"lf_cr_is_two_line_ends", "a\n\rb", {"a", "", "b"}}),
    [](const testing::TestParamInfo<LinesCase>& info) { return info.param.id; });

} // namespace
