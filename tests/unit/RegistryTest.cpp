// The per-user registry: any key name comes back unchanged, keys are found whatever their
// letter case, values keep their type, and a wrong binary value is refused.
#include "platform/Registry.h"
#include "support/ChildProcess.h"
#include "support/FtpServerProcess.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

// Set in a copy of this program started to write sites beside another one; it shares the
// starter's store and names its sites with the variable's value.
constexpr const char* kWriterVariable = "TARN_REGISTRY_WRITER";
constexpr int kSitesPerWriter = 40;

// The store must live in a temporary folder before the first settings object is made.
struct TemporaryConfigHome {
    TemporaryConfigHome() : dir("tarn-unit-config")
    {
        if (std::getenv(kWriterVariable) == nullptr)
            setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    }
    TempDir dir;
};
const TemporaryConfigHome configHome;

std::string site(const std::string& name)
{
    return Registry::siteKeyPath(name);
}

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { Registry().clearAll(); }
    void TearDown() override { Registry().clearAll(); }

    static void writeHost(const std::string& keyName, const std::string& host)
    {
        Registry registry;
        ASSERT_TRUE(registry.openKey(site(keyName), true));
        registry.writeString("Host", host);
        registry.closeKey();
    }
    static std::vector<std::string> siteNames()
    {
        Registry registry;
        if (!registry.openKey(Registry::kProgramKey, false))
            return {};
        return registry.keyNames();
    }
};

}  // namespace

class RegistryKeyNames : public RegistryTest,
                         public testing::WithParamInterface<std::pair<const char*, std::string>> {};

TEST_P(RegistryKeyNames, NameComesBackUnchangedAsOneKey)
{
    const std::string& name = GetParam().second;
    writeHost(name, "host of " + name);
    writeHost("neighbour", "other");

    const std::vector<std::string> names = siteNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), name), 1);
    EXPECT_EQ(names.size(), 2u);
    Registry registry;
    ASSERT_TRUE(registry.openKey(site(name), false));
    EXPECT_EQ(registry.readString("Host"), "host of " + name);
}

INSTANTIATE_TEST_SUITE_P(
    Escaping, RegistryKeyNames,
    testing::Values(std::pair{"slash_backslash_percent", std::string("a/b\\c%d")},
                    std::pair{"escape_lookalike", std::string("a%2Fb%5c%25")},
                    std::pair{"leading_slash", std::string("/x")},
                    std::pair{"trailing_backslash", std::string("x\\")},
                    std::pair{"only_separators", std::string("\\/\\")},
                    std::pair{"blanks_around", std::string(" spaced ")},
                    std::pair{"ini_specials", std::string("[a]=b;c#d,e")},
                    std::pair{"at_sign", std::string("@ByteArray(x)")},
                    std::pair{"general_section", std::string("General")},
                    std::pair{"settings_value_name", std::string("TarnSettings")},
                    std::pair{"non_ascii", std::string("S\xC3\xA9jour \xE2\x82\xAC")},
                    // Names (and so the host values written beside them) that are not UTF-8.
                    std::pair{"latin1", std::string("S\xE9jour \xA4")},
                    std::pair{"stray_continuation", std::string("\x80x\xBF")},
                    std::pair{"cut_sequence", std::string("ab\xE2\x82")},
                    std::pair{"overlong_slash", std::string("a\xC0\xAF" "b")},
                    std::pair{"surrogate", std::string("\xED\xA0\x80")},
                    std::pair{"raw_byte_lookalike", std::string("%E9%C3%A9")}),
    [](const auto& info) { return std::string(info.param.first); });

TEST(RegistryEscaping, SeparatorsAndPercentNeverReachTheStore)
{
    const QString escaped = Registry::escapeKeyName("a/b\\c%d");
    EXPECT_FALSE(escaped.contains('/'));
    EXPECT_FALSE(escaped.contains('\\'));
    EXPECT_EQ(Registry::unescapeKeyName(escaped), "a/b\\c%d");
}

TEST_F(RegistryTest, KeysAreFoundWithoutRegardToCase)
{
    writeHost("Alpha", "first");
    writeHost("ALPHA", "second");  // the same key, not a new one

    EXPECT_EQ(siteNames(), std::vector<std::string>{"Alpha"});
    Registry registry;
    EXPECT_TRUE(registry.keyExists(site("aLpHa")));
    ASSERT_TRUE(registry.openKey(site("alpha"), false));
    EXPECT_EQ(registry.readString("Host"), "second");
    registry.closeKey();

    EXPECT_TRUE(registry.deleteKey(site("ALPHA")));
    EXPECT_FALSE(registry.keyExists(site("Alpha")));
    EXPECT_FALSE(registry.deleteKey(site("Alpha")));
}

// A store edited by hand may hold two groups that differ only in case; each name must still
// reach its own values, and deleting one must not take the other.
TEST_F(RegistryTest, KeysDifferingOnlyInCaseInAHandEditedStoreStayApart)
{
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Kalmor", "Tarn");
        store.setValue("home/Host", "lower.example.org");
        store.setValue("Home/Host", "upper.example.org");
    }
    for (const auto& [name, host] : {std::pair{"home", "lower.example.org"},
                                     std::pair{"Home", "upper.example.org"}}) {
        Registry registry;
        ASSERT_TRUE(registry.openKey(site(name), false)) << name;
        EXPECT_EQ(registry.readString("Host"), host) << name;
    }
    EXPECT_TRUE(Registry().deleteKey(site("home")));
    Registry registry;
    ASSERT_TRUE(registry.openKey(site("Home"), false));
    EXPECT_EQ(registry.readString("Host"), "upper.example.org");
}

TEST_F(RegistryTest, SubkeysEnumerateInCaseInsensitiveOrder)
{
    for (const char* name : {"gamma", "Beta", "alpha", "Delta"})
        writeHost(name, "h");
    EXPECT_EQ(siteNames(), (std::vector<std::string>{"alpha", "Beta", "Delta", "gamma"}));
}

TEST_F(RegistryTest, MissingKeysDoNotOpenWithoutCreate)
{
    Registry registry;
    EXPECT_FALSE(registry.openKey(Registry::kProgramKey, false));
    EXPECT_FALSE(registry.openKey(site("nowhere"), false));
    EXPECT_FALSE(registry.openKey("Software\\Elsewhere", true));
    EXPECT_FALSE(registry.openKey(site(""), true));

    writeHost("here", "h");
    EXPECT_TRUE(registry.openKey(Registry::kProgramKey, false));
    EXPECT_TRUE(registry.openKey("\\software\\kalmor\\tarn\\HERE", false));
}

TEST_F(RegistryTest, ValuesKeepTheirType)
{
    Registry registry;
    ASSERT_TRUE(registry.openKey(site("typed"), true));
    registry.writeString("Text", " lead, comma \"quoted\" \\ @at ");
    registry.writeInteger("Number", -123456789);
    registry.writeString("NotNumber", "12abc");
    const unsigned char bytes[] = {0x00, 0xFF, 0x40, 0x0A};
    registry.writeBinaryData("Bytes", bytes, sizeof bytes);
    registry.closeKey();

    Registry reader;
    ASSERT_TRUE(reader.openKey(site("typed"), false));
    EXPECT_EQ(reader.readString("Text"), " lead, comma \"quoted\" \\ @at ");
    EXPECT_EQ(reader.readInteger("Number"), -123456789);
    EXPECT_EQ(reader.readString("Missing"), "");
    EXPECT_TRUE(reader.valueExists("Bytes"));
    EXPECT_FALSE(reader.valueExists("Missing"));
    EXPECT_THROW(reader.readInteger("NotNumber"), ERegistryException);
    EXPECT_THROW(reader.readInteger("Missing"), ERegistryException);
    EXPECT_THROW(reader.readString("Bytes"), ERegistryException);

    unsigned char back[4] = {};
    EXPECT_EQ(reader.readBinaryData("Bytes", back, sizeof back), 4);
    EXPECT_TRUE(std::equal(std::begin(bytes), std::end(bytes), std::begin(back)));
}

TEST_F(RegistryTest, BinaryReadRefusesStringsAndLongValues)
{
    Registry registry;
    ASSERT_TRUE(registry.openKey(Registry::kProgramKey, true));
    registry.writeString("TarnSettings", "not binary");
    unsigned char record[18] = {};
    try {
        registry.readBinaryData("TarnSettings", record, sizeof record);
        FAIL() << "a string was read as binary";
    } catch (const ERegistryException& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'TarnSettings'");
    }

    const std::string long19(19, '\x07');
    registry.writeBinaryData("TarnSettings", long19.data(), 19);
    EXPECT_THROW(registry.readBinaryData("TarnSettings", record, sizeof record), ERegistryException);
    EXPECT_EQ(record[0], 0) << "a refused value must not be copied";
}

TEST_F(RegistryTest, ShortBinaryValueFillsOnlyItsLength)
{
    Registry registry;
    ASSERT_TRUE(registry.openKey(Registry::kProgramKey, true));
    const unsigned char shortValue[] = {1, 2, 3};
    registry.writeBinaryData("TarnSettings", shortValue, sizeof shortValue);
    unsigned char record[18];
    std::fill(std::begin(record), std::end(record), 0xEE);
    EXPECT_EQ(registry.readBinaryData("TarnSettings", record, sizeof record), 3);
    EXPECT_EQ(record[2], 3);
    EXPECT_EQ(record[3], 0xEE);
}

TEST_F(RegistryTest, RootValueIsNotASubkey)
{
    Registry registry;
    ASSERT_TRUE(registry.openKey(Registry::kProgramKey, true));
    const char record[18] = {};
    registry.writeBinaryData("TarnSettings", record, sizeof record);
    registry.closeKey();
    writeHost("only site", "h");
    EXPECT_EQ(siteNames(), std::vector<std::string>{"only site"});
}

TEST_F(RegistryTest, ClosingWritesTheStoreToDisk)
{
    writeHost("disk", "persisted.example");
    const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                         + "/Kalmor/Tarn.conf";
    QFile conf(file);
    ASSERT_TRUE(conf.open(QIODevice::ReadOnly)) << file.toStdString();
    EXPECT_TRUE(conf.readAll().contains("persisted.example"));
}

// One of two programs saving sites at once: one sync per site, as the site store does.
TEST(RegistryWriterProcess, WritesItsSitesOneByOne)
{
    const char* prefix = std::getenv(kWriterVariable);
    if (prefix == nullptr)
        GTEST_SKIP() << "started only by TwoProgramsSavingAtOnceLoseNoSite";
    for (int i = 0; i < kSitesPerWriter; ++i) {
        Registry registry;
        ASSERT_TRUE(registry.openKey(site(prefix + std::to_string(100 + i)), true));
        registry.writeString("Host", "host");
        registry.closeKey();
    }
}

TEST_F(RegistryTest, TwoProgramsSavingAtOnceLoseNoSite)
{
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::vector<std::unique_ptr<ChildProcess>> writers;
    for (const char* prefix : {"a-", "b-"}) {
        writers.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{self, "--gtest_filter=RegistryWriterProcess.*"}, -1, -1,
            std::vector<std::string>{std::string(kWriterVariable) + "=" + prefix}));
    }
    for (const auto& writer : writers)
        EXPECT_EQ(writer->waitForExit(), 0);
    EXPECT_EQ(siteNames().size(), std::size_t(2 * kSitesPerWriter));
}
