// Password scrambling: every byte survives, the filler is ignored, a broken text is
// recognised, and the key and filler alphabets have the shape the scrambling relies on.
#include "sites/SiteUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

bool isKeyCharacter(char c)
{
    return PasswordKey.find(c) != std::string_view::npos;
}

std::string keptCharacters(const std::string& scrambled)
{
    std::string kept;
    std::copy_if(scrambled.begin(), scrambled.end(), std::back_inserter(kept), isKeyCharacter);
    return kept;
}

std::string allByteValues()
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

}  // namespace

TEST(PasswordAlphabets, KeyIsSixteenDistinctCharactersOfTheAlphabet)
{
    EXPECT_EQ(PasswordAlphabet.size(), 64u);
    EXPECT_EQ(std::set<char>(PasswordAlphabet.begin(), PasswordAlphabet.end()).size(), 64u);
    ASSERT_EQ(PasswordKey.size(), 16u);
    EXPECT_EQ(std::set<char>(PasswordKey.begin(), PasswordKey.end()).size(), 16u);
    for (const char c : PasswordKey)
        EXPECT_NE(PasswordAlphabet.find(c), std::string_view::npos) << c;
}

TEST(PasswordScramble, EveryByteValueRoundTripsAlone)
{
    for (int b = 0; b < 256; ++b) {
        const std::string plain(1, static_cast<char>(b));
        EXPECT_EQ(DecodePassword(EncodePassword(plain)), plain) << "byte " << b;
    }
}

TEST(PasswordScramble, AllByteValuesRoundTripInOneText)
{
    std::string plain = allByteValues();
    EXPECT_EQ(DecodePassword(EncodePassword(plain)), plain);
    std::reverse(plain.begin(), plain.end());
    EXPECT_EQ(DecodePassword(EncodePassword(plain)), plain);
}

TEST(PasswordScramble, EmptyPasswordIsOneToFiveFillerCharacters)
{
    for (int i = 0; i < 50; ++i) {
        const std::string scrambled = EncodePassword("");
        EXPECT_GE(scrambled.size(), 1u);
        EXPECT_LE(scrambled.size(), 5u);
        EXPECT_TRUE(keptCharacters(scrambled).empty()) << scrambled;
        EXPECT_EQ(DecodePassword(scrambled), "");
    }
    EXPECT_EQ(DecodePassword(""), "");
}

TEST(PasswordScramble, LengthStaysWithinTheFillerBounds)
{
    const std::string plain = "a longer password 123";
    const std::size_t n = plain.size();
    for (int i = 0; i < 50; ++i) {
        const std::string scrambled = EncodePassword(plain);
        EXPECT_GE(scrambled.size(), 2 * n + 1);
        EXPECT_LE(scrambled.size(), 10 * n + 5);
        EXPECT_EQ(keptCharacters(scrambled).size(), 2 * n);
    }
}

// The filler: 1 to 5 leading characters, 0 to 4 after each key character, all from the
// alphabet but never from the key, and different from each other within one run.
TEST(PasswordScramble, FillerRunsHaveTheirShape)
{
    const std::string scrambled = EncodePassword("filler shape");
    std::vector<std::string> runs(1);
    for (const char c : scrambled) {
        ASSERT_NE(PasswordAlphabet.find(c), std::string_view::npos) << c;
        if (isKeyCharacter(c))
            runs.emplace_back();
        else
            runs.back() += c;
    }
    ASSERT_GE(runs.front().size(), 1u);
    EXPECT_LE(runs.front().size(), 5u);
    for (std::size_t i = 1; i < runs.size(); ++i)
        EXPECT_LE(runs[i].size(), 4u);
    for (const std::string& run : runs)
        EXPECT_EQ(std::set<char>(run.begin(), run.end()).size(), run.size()) << run;
}

TEST(PasswordScramble, EncodingAgainUsuallyGivesAnotherText)
{
    std::set<std::string> texts;
    for (int i = 0; i < 10; ++i)
        texts.insert(EncodePassword("same"));
    EXPECT_GT(texts.size(), 1u);
}

// Worked by hand from the key "Qe7TzpXw2Rb9NmKc", turned right by one after each character:
// 'A' (0x41) is key[1] 'e', then "cQe7Tz..."[4] 'T'; 'B' (0x42) continues with
// "KcQe7T..."[2] 'Q' and "mKcQe7..."[4] 'e'; 0xFF is key[15] 'c', then "cQe7...NmK"[15] 'K'.
struct KnownText {
    const char* id;
    std::string plain;
    std::string keyCharacters;
};

class PasswordKnownTexts : public testing::TestWithParam<KnownText> {};

TEST_P(PasswordKnownTexts, KeyCharactersFollowTheTurningKey)
{
    const KnownText& known = GetParam();
    EXPECT_EQ(keptCharacters(EncodePassword(known.plain)), known.keyCharacters);
    EXPECT_EQ(DecodePassword(known.keyCharacters), known.plain);
}

INSTANTIATE_TEST_SUITE_P(
    Scramble, PasswordKnownTexts,
    testing::Values(KnownText{"letter-A", "A", "eT"}, KnownText{"letters-AB", "AB", "eTQe"},
                    KnownText{"byte-00", std::string(1, '\0'), "Qc"},
                    KnownText{"byte-FF", std::string(1, '\xFF'), "cK"}),
    [](const testing::TestParamInfo<KnownText>& info) {
        std::string name = info.param.id;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST(PasswordScramble, CharactersOutsideTheKeyAnywhereDoNotChangeTheResult)
{
    const std::string plain = "s3cr\xE9t";
    const std::string scrambled = EncodePassword(plain);
    for (std::size_t at = 0; at <= scrambled.size(); ++at) {
        std::string noisy = scrambled;
        noisy.insert(at, "0!A ~\x80");
        EXPECT_EQ(DecodePassword(noisy), plain) << "inserted at " << at;
    }
}

TEST(PasswordScramble, MissingKeyCharacterGivesTheUndecodableMark)
{
    const std::string scrambled = EncodePassword("pass");
    for (std::size_t at = 0; at < scrambled.size(); ++at) {
        if (!isKeyCharacter(scrambled[at]))
            continue;
        std::string broken = scrambled;
        broken.erase(at, 1);
        EXPECT_EQ(DecodePassword(broken), std::string(1, '\x01')) << "removed at " << at;
    }
}

TEST(PickFiller, DrawsDifferentCharactersFromTheSet)
{
    const std::string set = "abcdefgh";
    for (int count = 0; count <= 8; ++count) {
        const std::string picked = PickFiller(set, count);
        EXPECT_EQ(picked.size(), static_cast<std::size_t>(count));
        EXPECT_EQ(std::set<char>(picked.begin(), picked.end()).size(), picked.size());
        for (const char c : picked)
            EXPECT_NE(set.find(c), std::string::npos);
    }
}

TEST(PickFiller, StopsWhenTheSetRunsOut)
{
    const std::string picked = PickFiller("xyz", 10);
    EXPECT_EQ(std::set<char>(picked.begin(), picked.end()), (std::set<char>{'x', 'y', 'z'}));
    EXPECT_EQ(PickFiller("", 3), "");
}
