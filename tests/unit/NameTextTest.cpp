// Names edited as text keep the bytes of the parts the user did not touch, so a name that is
// not valid UTF-8 survives a rename that changes only some of it.
#include "platform/NameText.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct EditCase {
    const char* id;
    std::string oldBytes;
    QString text;          // what the user left in the box
    std::string newBytes;  // what the file system must be given
};

void PrintTo(const EditCase& c, std::ostream* out)
{
    *out << c.id;
}

class EditedNameBytesTest : public testing::TestWithParam<EditCase> {};

TEST_P(EditedNameBytesTest, KeepsTheBytesOfWhatWasNotEdited)
{
    const EditCase& c = GetParam();
    EXPECT_EQ(editedNameBytes(c.oldBytes, c.text), c.newBytes);
}

const QString kReplaced = QString(QChar(0xFFFD));

const EditCase kEditCases[] = {
    {"unchanged_invalid", "caf\xe9.txt", "caf" + kReplaced + ".txt", "caf\xe9.txt"},
    {"extension_changed", "caf\xe9.txt", "caf" + kReplaced + ".doc", "caf\xe9.doc"},
    {"start_changed", "caf\xe9.txt", "Caf" + kReplaced + ".txt", "Caf\xe9.txt"},
    {"replacement_typed_over", "caf\xe9.txt", "caf\u00e9.txt", "caf\xc3\xa9.txt"},
    {"two_invalid_one_kept", "\xff-\xfe", kReplaced + "+" + kReplaced, "\xff+\xfe"},
    {"invalid_removed", "a\xffz", "az", "az"},
    {"inserted_between_repeats", "ab", "abab", "abab"},
    {"valid_utf8_renamed", "caf\xc3\xa9.txt", "th\u00e9.txt", "th\xc3\xa9.txt"},
    {"everything_new", "caf\xe9", "new", "new"},
    {"emptied", "caf\xe9", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Names, EditedNameBytesTest, testing::ValuesIn(kEditCases),
                         [](const auto& info) { return std::string(info.param.id); });

} // namespace
