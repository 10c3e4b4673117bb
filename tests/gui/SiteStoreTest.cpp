// The site store against the real settings store: loading, saving in the store's order,
// deleting, and values that are missing or of the wrong type.
#include "SiteTestSupport.h"

using SiteStore = SiteStoreFixture;

TEST_F(SiteStore, EmptyStoreLoadsNoSites)
{
    SiteCount = 7;
    LoadSiteList();
    EXPECT_EQ(SiteCount, 0);
    EXPECT_TRUE(SiteList.empty());
}

TEST_F(SiteStore, SavedSitesLoadWithAllTheirValues)
{
    TSiteRecord site = makeSite("Full");
    site.Passive = true;
    site.Pass = EncodePassword(std::string("\x00\x7F\x80\xFF", 4));
    SiteList = {site};
    SiteCount = 1;
    SaveSiteList();

    const std::vector<TSiteRecord> stored = storedSites();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0], site);
    EXPECT_EQ(DecodePassword(stored[0].Pass), std::string("\x00\x7F\x80\xFF", 4));
}

TEST_F(SiteStore, MissingAndMistypedValuesReadAsEmpty)
{
    {
        Registry registry;
        ASSERT_TRUE(registry.openKey(Registry::siteKeyPath("Sparse"), true));
        registry.writeString("Host", "sparse.example.org");
        registry.closeKey();
        ASSERT_TRUE(registry.openKey(Registry::siteKeyPath("Odd"), true));
        const char bytes[] = {1, 2};
        registry.writeBinaryData("User", bytes, 2);
        registry.writeString("PASV", "yes");
        registry.writeInteger("RDir", 5);
        registry.closeKey();
        ASSERT_TRUE(registry.openKey(Registry::siteKeyPath("Passive"), true));
        registry.writeInteger("PASV", 1);
        registry.closeKey();
    }
    LoadSiteList();
    ASSERT_EQ(names(SiteList), (std::vector<std::string>{"Odd", "Passive", "Sparse"}));
    EXPECT_EQ(SiteList[0].User, "");
    EXPECT_FALSE(SiteList[0].Passive);
    EXPECT_EQ(SiteList[0].RDir, "5");
    EXPECT_TRUE(SiteList[1].Passive);
    EXPECT_EQ(SiteList[2].Host, "sparse.example.org");
    EXPECT_EQ(SiteList[2].Pass, "");
    EXPECT_EQ(DecodePassword(SiteList[2].Pass), "");
    EXPECT_FALSE(SiteList[2].Passive);
}

TEST_F(SiteStore, ListSavedInAnotherOrderComesBackInStoreOrderWithSameCurrentSite)
{
    storeSites({"Charlie", "alpha", "Bravo"}, 0);
    EXPECT_EQ(names(SiteList), (std::vector<std::string>{"alpha", "Bravo", "Charlie"}));
    EXPECT_EQ(SiteList[CurrentSite].Name, "Charlie");
    EXPECT_EQ(SiteCount, 3);

    std::reverse(SiteList.begin(), SiteList.end());
    CurrentSite = 1;  // Bravo
    SaveSiteList();
    EXPECT_EQ(names(SiteList), (std::vector<std::string>{"alpha", "Bravo", "Charlie"}));
    EXPECT_EQ(CurrentSite, 1);
}

TEST_F(SiteStore, SameNameTwiceLeavesOneSiteWithTheLaterValues)
{
    SiteList = {makeSite("Twin"), makeSite("twin")};
    SiteList[1].Host = "later.example.org";
    SiteCount = 2;
    CurrentSite = 1;
    SaveSiteList();
    ASSERT_EQ(SiteCount, 1);
    EXPECT_EQ(SiteList[0].Host, "later.example.org");
    EXPECT_EQ(CurrentSite, 0);
}

TEST_F(SiteStore, UnwritableNameIsReportedAndTheOthersAreStillWritten)
{
    SiteList = {makeSite(""), makeSite("Good")};
    SiteCount = 2;
    CurrentSite = 0;
    SaveSiteList();
    EXPECT_EQ(script->boxTexts(), QStringList{"Error opening registry key Software\\Kalmor\\Tarn\\"});
    EXPECT_EQ(script->boxes[0].icon, MsgIcon::None);
    EXPECT_EQ(names(SiteList), std::vector<std::string>{"Good"});
    EXPECT_EQ(CurrentSite, 0) << "the current site could not be found again; it must stay in the list";
}

struct DeleteCase {
    const char* id;
    std::int32_t deleted;
    std::int32_t currentAfter;
    std::vector<std::string> remaining;
};

class SiteDelete : public SiteStoreFixture, public testing::WithParamInterface<DeleteCase> {};

TEST_P(SiteDelete, SiteBeforeTheDeletedOneBecomesCurrent)
{
    const DeleteCase& test = GetParam();
    storeSites({"Alpha", "Bravo", "Charlie"});
    CurrentSite = test.deleted;
    DeleteCurrentSite();

    EXPECT_EQ(names(SiteList), test.remaining);
    EXPECT_EQ(SiteCount, 2);
    EXPECT_EQ(CurrentSite, test.currentAfter);
    EXPECT_EQ(names(storedSites()), test.remaining);
}

INSTANTIATE_TEST_SUITE_P(
    ThreeSites, SiteDelete,
    testing::Values(DeleteCase{"first", 0, 0, {"Bravo", "Charlie"}},
                    DeleteCase{"middle", 1, 0, {"Alpha", "Charlie"}},
                    DeleteCase{"last", 2, 1, {"Alpha", "Bravo"}}),
    [](const auto& info) { return std::string(info.param.id); });

TEST_F(SiteStore, DeletingTheOnlySiteEmptiesListAndStore)
{
    storeSites({"Only"});
    DeleteCurrentSite();
    EXPECT_EQ(SiteCount, 0);
    EXPECT_EQ(CurrentSite, 0);
    EXPECT_TRUE(storedSites().empty());
    DeleteCurrentSite();  // nothing left: no effect, no crash
    EXPECT_EQ(SiteCount, 0);
}

TEST_F(SiteStore, DeleteSiteKeyFindsTheKeyWhateverItsCase)
{
    storeSites({"MixedCase", "Other"});
    DeleteSiteKey("mixedcase");
    DeleteSiteKey("never stored");
    EXPECT_EQ(names(storedSites()), std::vector<std::string>{"Other"});
}

TEST_F(SiteStore, OddSiteNamesSurviveSaveAndLoad)
{
    storeSites({"a/b\\c%d", "100% sure", "back\\slash"}, 1);
    EXPECT_EQ(names(SiteList), (std::vector<std::string>{"100% sure", "a/b\\c%d", "back\\slash"}));
    EXPECT_EQ(SiteList[CurrentSite].Name, "100% sure");
    EXPECT_EQ(SiteList[1].Host, "a/b\\c%d.example.org");
}
