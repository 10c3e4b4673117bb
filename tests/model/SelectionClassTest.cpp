// Selection classes of a pane, by the file/directory sequence of its selected rows.
#include "model/SelectionClass.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct SelectionCase {
    const char* id;
    std::string rows;  // 'f' a file, 'd' a directory, in list order
    unsigned expected;
};

class SelectionClassTest : public testing::TestWithParam<SelectionCase> {};

TEST_P(SelectionClassTest, ClassOfSelection)
{
    std::vector<bool> isFile;
    for (const char row : GetParam().rows)
        isFile.push_back(row == 'f');
    EXPECT_EQ(selectionClassOf(isFile), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SelectionClassTest,
    testing::Values(SelectionCase{"none", "", scNone},
                    SelectionCase{"one_file", "f", scOneFile},
                    SelectionCase{"two_files", "ff", scFiles},
                    SelectionCase{"many_files", "fffff", scFiles},
                    SelectionCase{"one_directory", "d", scOneDirectory},
                    SelectionCase{"two_directories", "dd", scDirectories},
                    SelectionCase{"file_then_directory", "fd", scMixed},
                    SelectionCase{"directory_then_file", "df", scMixed},
                    SelectionCase{"files_then_directory", "ffd", scMixed},
                    SelectionCase{"directories_then_file", "ddf", scMixed},
                    SelectionCase{"mixed_stays_mixed", "fdfd", scMixed}),
    [](const testing::TestParamInfo<SelectionCase>& info) { return info.param.id; });

} // namespace
