// Export and import of site files from the main window: the dialogs, the file written, the
// sites stored after an import, and the files that are refused without a change to the store.
#include "MainWindowSupport.h"

#include "sites/SiteFiles.h"

#include <QComboBox>
#include <QDate>

namespace {

class SiteFiles : public MainWindowFixture {
protected:
    QString filePath(const std::string& name) const
    {
        return QString::fromStdString((localDir.path() / name).string());
    }

    static std::string readAll(const QString& path)
    {
        std::ifstream in(path.toStdString(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    void writeSiteFile(const std::string& name, const std::string& bytes)
    {
        std::ofstream(localDir.path() / name, std::ios::binary) << bytes;
    }

    // Answers the open dialog with `path` and imports.
    void importFrom(const QString& path)
    {
        script->answerText(path);
        actionOf(*window, "acImportSite")->trigger();
    }

    static std::vector<TSiteRecord> storedSites()
    {
        LoadSiteList();
        return SiteList;
    }
};

TEST_F(SiteFiles, ExportAllThenImportGivesTheSameSitesAllCountedAsNew)
{
    storeSites({"alpha", "beta", "gamma"});
    const std::vector<TSiteRecord> before = SiteList;
    start();
    script->answerText(filePath("all"));
    actionOf(*window, "acExportAllSites")->trigger();

    ASSERT_EQ(script->questions.size(), 1u);
    EXPECT_EQ(script->questions[0].caption, "Save all sites.  Specify file name.");
    EXPECT_EQ(script->questions[0].proposed,
              QDate::currentDate().toString("yyMMdd") + " Tarn-All_sites");
    EXPECT_EQ(script->questions[0].prompt, "Site files (*.fst)");
    EXPECT_EQ(script->lastBoxText(), "Site list saved as " + filePath("all.fst"));
    const std::string written = readAll(filePath("all.fst"));
    EXPECT_EQ(written, siteFileText(before));
    // alpha is not passive: its seventh line is empty, and the file ends with a line end.
    EXPECT_NE(written.find("LDir=" + localFolder() + "\r\n\r\nName=beta"), std::string::npos);
    EXPECT_TRUE(written.ends_with("\r\n"));

    partOf<QComboBox>(*window, "tbSite")->setCurrentIndex(2);
    emit partOf<QComboBox>(*window, "tbSite")->activated(2);
    importFrom(filePath("all.fst"));
    EXPECT_EQ(script->questions.back().caption, "Select Site file to import");
    EXPECT_EQ(script->questions.back().proposed, " Tarn-All_sites");
    EXPECT_EQ(script->lastBoxText(),
              "3 new site(s) found and saved in Site List.\rCurrent site set to first in list");
    EXPECT_EQ(script->beeps, 2);
    EXPECT_EQ(storedSites(), before);
    EXPECT_EQ(CurrentSite, 0);
    EXPECT_EQ(partOf<QComboBox>(*window, "tbSite")->currentText(), "alpha");
}

TEST_F(SiteFiles, ExportCurrentSiteWritesOnlyThatSite)
{
    storeSites({"alpha", "beta"});
    start();
    emit partOf<QComboBox>(*window, "tbSite")->activated(1);
    script->answerText(filePath("one.fst"));
    actionOf(*window, "acExportSite")->trigger();
    EXPECT_EQ(script->questions[0].caption, "Save current site. Specify file name.");
    EXPECT_EQ(script->questions[0].proposed, "beta");
    EXPECT_EQ(script->lastBoxText(), "Site saved as " + filePath("one.fst"));
    EXPECT_EQ(readAll(filePath("one.fst")), siteFileText({SiteList[1]}));
}

TEST_F(SiteFiles, ImportedBlockReplacesTheStoredSiteOfTheSameName)
{
    storeSites({"alpha", "beta"});
    start();
    TSiteRecord changed = SiteList[1];
    changed.Host = "new.example.org";
    changed.User = "bob";
    changed.Pass = EncodePassword("other");
    changed.RDir = "/else";
    changed.Passive = !changed.Passive;
    writeSiteFile("beta.fst", siteFileText({changed}));
    importFrom(filePath("beta.fst"));
    const std::vector<TSiteRecord> stored = storedSites();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[1], changed);
    EXPECT_EQ(script->lastBoxText().left(2), "1 ");
}

TEST_F(SiteFiles, PasswordAndNonUtf8NameSurviveAFreshStore)
{
    storeSites({"alpha"});
    SiteList[0].Name = "caf\xE9 \xFF";
    SiteList[0].LDir = localFolder();
    Registry().clearAll();
    SaveSiteList();
    start();
    script->answerText(filePath("latin1.fst"));
    actionOf(*window, "acExportAllSites")->trigger();
    const std::string name = SiteList[0].Name;

    window.reset();
    resetStore();
    start();
    importFrom(filePath("latin1.fst"));
    const std::vector<TSiteRecord> stored = storedSites();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].Name, name);
    EXPECT_EQ(DecodePassword(stored[0].Pass), "secret");
}

TEST_F(SiteFiles, RefusedFilesLeaveTheStoreAlone)
{
    storeSites({"alpha"});
    const std::vector<TSiteRecord> before = SiteList;
    start();
    const std::string good = siteFileText({before[0]});
    std::string badBlock = good;
    badBlock.replace(badBlock.find("User="), 5, "user=");
    const struct {
        const char* file;
        std::string bytes;
        QString text;
        MsgButton button;
    } cases[] = {
        {"empty.fst", "", "Invalid site file %1  Incorrect number of lines.", MsgButton::Abort},
        {"short.fst", good + "Name=x\r\n", "Invalid site file %1  Incorrect number of lines.", MsgButton::Abort},
        {"bad.fst", good + badBlock, "Invalid parameter list in %1", MsgButton::Abort},
    };
    for (const auto& c : cases) {
        writeSiteFile(c.file, c.bytes);
        importFrom(filePath(c.file));
        ASSERT_FALSE(script->boxes.empty());
        EXPECT_EQ(script->boxes.back().text, c.text.arg(filePath(c.file)));
        EXPECT_EQ(script->boxes.back().icon, MsgIcon::Error);
        EXPECT_EQ(script->boxes.back().buttons, std::vector<MsgButton>{c.button});
        EXPECT_EQ(storedSites(), before) << c.file;
    }
    importFrom(filePath("missing.fst"));
    EXPECT_EQ(script->lastBoxText(), "File " + filePath("missing.fst") + " does not exist");
    EXPECT_EQ(script->boxes.back().buttons, std::vector<MsgButton>{MsgButton::Cancel});
    EXPECT_EQ(script->beeps, 0);
}

} // namespace
