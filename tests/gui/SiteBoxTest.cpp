// The site box of the main window: filling it, picking a site, deleting the current site.
#include "MainWindowSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>

namespace {

using SiteBox = MainWindowFixture;

QStringList items(const QComboBox* box)
{
    QStringList result;
    for (int i = 0; i < box->count(); ++i)
        result << box->itemText(i);
    return result;
}

TEST_F(SiteBox, StartUpListsTheSitesAndShowsTheCurrentOne)
{
    storeSites({"alpha", "beta"});
    TFTPForm& form = start();
    EXPECT_EQ(items(partOf<QComboBox>(form, "tbSite")), (QStringList{"alpha", "beta"}));
    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->currentIndex(), 0);
    EXPECT_FALSE(partOf<QCheckBox>(form, "UsePassive")->isChecked());
    EXPECT_EQ(partOf<QLineEdit>(form, "RemDir")->text(), "/pub/alpha");
    EXPECT_EQ(partOf<QLineEdit>(form, "LocDir")->text().toStdString(), localFolder());
    EXPECT_EQ(paneOf(form, "LVL")->rowCount(), 4);
    EXPECT_EQ(form.statusPanel(2), "Local entries=4");
}

TEST_F(SiteBox, PickingASiteTakesItsPassiveFlagAndDirectories)
{
    storeSites({"alpha", "beta"});
    TFTPForm& form = start();
    std::filesystem::create_directory(localDir.path() / "sub" / "inner");
    SiteList[1].LDir = localFolder() + "sub/";
    partOf<QComboBox>(form, "tbSite")->setCurrentIndex(1);
    emit partOf<QComboBox>(form, "tbSite")->activated(1);
    EXPECT_EQ(CurrentSite, 1);
    EXPECT_TRUE(partOf<QCheckBox>(form, "UsePassive")->isChecked());
    EXPECT_EQ(partOf<QLineEdit>(form, "RemDir")->text(), "/pub/beta");
    EXPECT_EQ(partOf<QLineEdit>(form, "LocDir")->text().toStdString(), localFolder() + "sub/");
    ASSERT_EQ(paneOf(form, "LVL")->rowCount(), 1);
    EXPECT_EQ(paneOf(form, "LVL")->row(0).name, "inner");
}

TEST_F(SiteBox, PickingTheStartItemWithoutSitesChangesNothing)
{
    TFTPForm& form = start();
    emit partOf<QComboBox>(form, "tbSite")->activated(0);
    EXPECT_EQ(CurrentSite, 0);
    EXPECT_EQ(paneOf(form, "LVL")->rowCount(), 0);
    EXPECT_TRUE(script->boxes.empty());
}

struct DeleteCase {
    const char* id;
    int current;
    QStringList left;
    int currentAfter;
};

class SiteBoxDelete : public MainWindowFixture, public testing::WithParamInterface<DeleteCase> {};

TEST_P(SiteBoxDelete, DeletingMakesTheSiteBeforeCurrent)
{
    storeSites({"one", "three", "two"});  // the store's own order
    TFTPForm& form = start();
    emit partOf<QComboBox>(form, "tbSite")->activated(GetParam().current);
    script->answerBox(MsgButton::Ok);
    actionOf(form, "acDeleteSite")->trigger();
    ASSERT_EQ(script->boxes.size(), 1u);
    const QString name = QStringList{"one", "three", "two"}[GetParam().current];
    EXPECT_EQ(script->boxes[0].text, "Delete Current site: " + name + "?\nContinue?");
    EXPECT_EQ(script->boxes[0].icon, MsgIcon::Warning);
    EXPECT_EQ(script->boxes[0].buttons, (std::vector<MsgButton>{MsgButton::Ok, MsgButton::Abort}));
    EXPECT_EQ(items(partOf<QComboBox>(form, "tbSite")), GetParam().left);
    EXPECT_EQ(CurrentSite, GetParam().currentAfter);
    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->currentIndex(), GetParam().currentAfter);
    EXPECT_EQ(partOf<QLineEdit>(form, "RemDir")->text(), "/pub/" + GetParam().left[GetParam().currentAfter]);
    LoadSiteList();
    EXPECT_EQ(SiteCount, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, SiteBoxDelete,
    testing::Values(DeleteCase{"first", 0, {"three", "two"}, 0},
                    DeleteCase{"middle", 1, {"one", "two"}, 0},
                    DeleteCase{"last", 2, {"one", "three"}, 1}),
    [](const testing::TestParamInfo<DeleteCase>& info) { return info.param.id; });

TEST_F(SiteBox, AbortKeepsTheSite)
{
    storeSites({"one", "two"});
    TFTPForm& form = start();
    script->answerBox(MsgButton::Abort);
    actionOf(form, "acDeleteSite")->trigger();
    EXPECT_EQ(items(partOf<QComboBox>(form, "tbSite")), (QStringList{"one", "two"}));
    LoadSiteList();
    EXPECT_EQ(SiteCount, 2);
}

TEST_F(SiteBox, DeletingTheOnlySiteEmptiesTheBoxAndDirectories)
{
    storeSites({"only"});
    TFTPForm& form = start();
    actionOf(form, "acDeleteSite")->trigger();  // the script answers OK, the first button
    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->count(), 0);
    EXPECT_EQ(partOf<QLineEdit>(form, "LocDir")->text(), QDir::homePath() + "/") << "the home folder stands in";
    EXPECT_TRUE(partOf<QLineEdit>(form, "RemDir")->text().isEmpty());
    EXPECT_EQ(SiteCount, 0);
    EXPECT_EQ(CurrentSite, 0);

    actionOf(form, "acDeleteSite")->trigger();  // nothing left to delete: no question
    EXPECT_EQ(script->boxes.size(), 1u);
}

TEST_F(SiteBox, EditingSavedRefillsTheBoxWithTheEditedSite)
{
    storeSites({"one", "two"});
    TFTPForm& form = start();
    emit partOf<QComboBox>(form, "tbSite")->activated(1);
    form.runSiteEditor = [&](char mode) {
        editorModes.push_back(mode);
        SiteList[1].RDir = "/changed";
        SaveSiteList();
        return true;
    };
    actionOf(form, "acEditSite")->trigger();
    EXPECT_EQ(editorModes, std::vector<char>{'E'});
    EXPECT_EQ(partOf<QComboBox>(form, "tbSite")->currentIndex(), 1);
    EXPECT_EQ(partOf<QLineEdit>(form, "RemDir")->text(), "/changed");
}

TEST_F(SiteBox, ACancelledEditorLeavesTheBoxAlone)
{
    storeSites({"one"});
    TFTPForm& form = start();
    partOf<QLineEdit>(form, "RemDir")->setText("kept");
    actionOf(form, "acCreateSite")->trigger();
    EXPECT_EQ(editorModes, std::vector<char>{'N'});
    EXPECT_EQ(partOf<QLineEdit>(form, "RemDir")->text(), "kept");
}

} // namespace
