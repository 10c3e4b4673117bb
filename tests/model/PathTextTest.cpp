// Local paths: going up one level and the trailing delimiter.
#include "model/PathText.h"

#include <gtest/gtest.h>

namespace {

struct ParentCase {
    const char* id;
    const char* directory;
    const char* parent;   // nullptr: no way up
};

class ParentDirectoryTest : public testing::TestWithParam<ParentCase> {};

TEST_P(ParentDirectoryTest, GoesUpOneLevel)
{
    const ParentCase& c = GetParam();
    const auto parent = parentDirectory(c.directory);
    if (!c.parent)
        EXPECT_FALSE(parent.has_value()) << *parent;
    else
        EXPECT_EQ(parent.value_or("<none>"), c.parent);
}

const ParentCase kParentCases[] = {
    {"with_delimiter", "/data/old/", "/data/"},
    {"without_delimiter", "/data", "/"},
    {"one_level_with_delimiter", "/data/", "/"},
    {"root", "/", nullptr},
    {"empty", "", nullptr},
    {"relative_single_name", "data", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Paths, ParentDirectoryTest, testing::ValuesIn(kParentCases),
                         [](const auto& info) { return std::string(info.param.id); });

TEST(LocalPaths, DelimiterAddedOnlyWhenMissing)
{
    EXPECT_EQ(withDelimiter("/data"), "/data/");
    EXPECT_EQ(withDelimiter("/data/"), "/data/");
    EXPECT_EQ(withDelimiter(""), "/");
}

} // namespace
