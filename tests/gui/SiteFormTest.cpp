// The site editor driven as a user drives it: create and edit modes, the save rules, the
// local directory check and the site name checks.
#include "SiteTestSupport.h"

#include "sites/SiteForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace {

bool waitFor(const std::function<bool()>& condition, int milliseconds = 3000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void click(QPushButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace

class SiteEditor : public SiteStoreFixture {
protected:
    // Opens the editor in `mode` and runs `steps` while it is shown; a dialog still open
    // afterwards is cancelled. Answers whether a site was saved.
    bool runEditor(char mode, const std::function<void()>& steps)
    {
        bool ran = false;
        QTimer::singleShot(0, &form, [&] {
            ran = true;
            steps();
            if (form.isVisible())
                form.CancelButtonClick();
        });
        const bool saved = form.ShowModal(mode);
        EXPECT_TRUE(ran) << "the editor did not open";
        return saved;
    }

    void fillNewSite(const QString& name)
    {
        form.sName->setText(name);
        form.sHost->setText("ftp.example.org");
        form.sUser->setText("anonymous");
        form.sPass->setText("p\u00e4ss w0rd");
        form.sRDir->setText("/pub");
        form.sLDir->setText(localPath());
    }

    // The tests run without a keyring: the editor's one note about it is no fault.
    QStringList boxesBesidesKeyringNote() const
    {
        return script->boxTexts().filter(QRegularExpression("^(?!No desktop keyring could be reached)"));
    }

    void expectErrorBox(const QString& text) const
    {
        ASSERT_FALSE(script->boxes.empty());
        const ScriptedDialogs::Box& box = script->boxes.back();
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.icon, MsgIcon::Error);
        EXPECT_EQ(box.buttons, std::vector<MsgButton>{MsgButton::Ok});
    }

    TSiteForm form;
};

TEST_F(SiteEditor, CreateModeProposesTheNextNameAndEmptyFields)
{
    storeSites({"Alpha", "Bravo"});
    form.sHost->setText("left over from an earlier use");
    form.sPasV->setChecked(true);

    runEditor('N', [&] {
        EXPECT_EQ(form.windowTitle(), "Site Window: Create new site");
        EXPECT_EQ(form.sEditFunction->text(), "Enter details of new site");
        EXPECT_EQ(form.sName->text(), "Site-3");
        for (QLineEdit* edit : {form.sHost, form.sUser, form.sPass, form.sRDir, form.sLDir})
            EXPECT_EQ(edit->text(), "") << edit->objectName().toStdString();
        EXPECT_FALSE(form.sPasV->isChecked());
    });
}

TEST_F(SiteEditor, ProposedNameSkipsANumberAlreadyInUse)
{
    storeSites({"Other", "site-3"});
    runEditor('N', [&] { EXPECT_EQ(form.sName->text(), "Site-4"); });
}

TEST_F(SiteEditor, CreatedSiteIsStoredAndBecomesCurrent)
{
    storeSites({"Alpha", "Zulu"});
    const bool saved = runEditor('N', [&] {
        fillNewSite("Mike");
        form.sPasV->setChecked(true);
        click(form.SaveButton);
    });

    ASSERT_TRUE(saved);
    EXPECT_TRUE(boxesBesidesKeyringNote().isEmpty()) << script->boxTexts().join('|').toStdString();
    ASSERT_EQ(SiteCount, 3);
    EXPECT_EQ(SiteList[CurrentSite].Name, "Mike");
    const std::vector<TSiteRecord> stored = storedSites();
    ASSERT_EQ(names(stored), (std::vector<std::string>{"Alpha", "Mike", "Zulu"}));
    const TSiteRecord& mike = stored[1];
    EXPECT_EQ(mike.Host, "ftp.example.org");
    EXPECT_EQ(mike.User, "anonymous");
    EXPECT_EQ(mike.RDir, "/pub");
    EXPECT_EQ(mike.LDir, localPath().toStdString());
    EXPECT_TRUE(mike.Passive);
    EXPECT_EQ(DecodePassword(mike.Pass), "p\xC3\xA4ss w0rd");
    EXPECT_EQ(mike.Pass.find("w0rd"), std::string::npos) << "the password is stored scrambled";
}

TEST_F(SiteEditor, EncryptionAndConnectionsStartAtTheirDefaultsAndAreStoredWithTheSite)
{
    {   // A site stored before encryption was offered has no value for it: plain FTP.
        Registry registry;
        ASSERT_TRUE(registry.openKey(Registry::siteKeyPath("Old"), true));
        registry.writeString("Host", "old.example.org");
        registry.closeKey();
    }
    LoadSiteList();
    ASSERT_EQ(SiteCount, 1);
    EXPECT_EQ(SiteList[0].Encryption, TSiteEncryption::Plain);
    EXPECT_EQ(SiteList[0].Connections, 2);
    ASSERT_TRUE(runEditor('N', [&] {
        EXPECT_EQ(form.sEncryption->currentText(), "Use explicit FTP over TLS if available");
        EXPECT_EQ(form.sConnections->value(), 2);
        fillNewSite("New");
        form.sEncryption->setCurrentIndex(3);
        form.sConnections->setValue(7);
        click(form.SaveButton);
    }));
    EXPECT_EQ(storedSites()[0].Encryption, TSiteEncryption::RequireImplicit);
    EXPECT_EQ(storedSites()[0].Connections, 7);
    runEditor('E', [&] {
        EXPECT_EQ(form.sEncryption->currentText(), "Require implicit FTP over TLS");
        EXPECT_EQ(form.sConnections->value(), 7);
    });
}

TEST_F(SiteEditor, CancelAndTheCloseButtonStoreNothing)
{
    EXPECT_FALSE(runEditor('N', [&] {
        fillNewSite("Dropped");
        click(form.CancelButton);
    }));
    EXPECT_FALSE(runEditor('N', [&] {
        fillNewSite("Closed");
        form.close();
    }));
    EXPECT_EQ(SiteCount, 0);
    EXPECT_TRUE(storedSites().empty());
}

TEST_F(SiteEditor, SaveWithEmptyLocalDirectoryIsRefused)
{
    runEditor('N', [&] {
        fillNewSite("NoLocal");
        form.sLDir->clear();
        click(form.SaveButton);
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.focusWidget(), form.sLDir);
    });
    ASSERT_EQ(script->boxes.size(), 1u);
    expectErrorBox("Local directory does not exist. Correct");
    EXPECT_EQ(script->beeps, 1);
    EXPECT_EQ(SiteCount, 0);
    EXPECT_TRUE(storedSites().empty());
}

TEST_F(SiteEditor, SaveWithoutAnyChangeSaysNoDataChanged)
{
    storeSites({"Alpha"});
    runEditor('E', [] {});  // the first use fills the fields
    const bool saved = runEditor('E', [&] {
        EXPECT_FALSE(form.SiteDataChanged);
        click(form.SaveButton);
        click(form.SaveButton);
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(script->boxTexts(), (QStringList{"No data changed", "No data changed"}));
        form.sHost->setText("changed.example.org");
        click(form.SaveButton);
    });
    EXPECT_TRUE(saved);
    EXPECT_EQ(script->boxes.front().icon, MsgIcon::None);
    EXPECT_EQ(storedSites()[0].Host, "changed.example.org");
}

TEST_F(SiteEditor, EditShowsTheDecodedPasswordAndSavesItScrambled)
{
    storeSites({"Alpha"});
    SiteList[0].Pass = EncodePassword("s3cr\xC3\xA9t!");
    SaveSiteList();

    const bool saved = runEditor('E', [&] {
        EXPECT_EQ(form.windowTitle(), "Site Window: Edit site");
        EXPECT_EQ(form.sEditFunction->text(), "Edit the selected site");
        EXPECT_EQ(form.sName->text(), "Alpha");
        EXPECT_EQ(form.sPass->text(), QString::fromUtf8("s3cr\xC3\xA9t!"));
        EXPECT_EQ(form.sPass->echoMode(), QLineEdit::Password);
        form.sUser->setText("someone else");
        click(form.SaveButton);
    });
    ASSERT_TRUE(saved);
    const TSiteRecord stored = storedSites()[0];
    EXPECT_EQ(stored.User, "someone else");
    EXPECT_EQ(DecodePassword(stored.Pass), "s3cr\xC3\xA9t!");
}

TEST_F(SiteEditor, PasswordThatIsNotUtf8SurvivesAnEditOfAnotherField)
{
    storeSites({"Latin"});
    const std::string latin1Password = "caf\xE9\xFF";
    SiteList[0].Pass = EncodePassword(latin1Password);
    SaveSiteList();
    ASSERT_TRUE(runEditor('E', [&] {
        form.sHost->setText("new.example.org");
        click(form.SaveButton);
    }));
    EXPECT_EQ(DecodePassword(storedSites()[0].Pass), latin1Password);
}

TEST_F(SiteEditor, RenameRemovesTheKeyUnderTheOldName)
{
    storeSites({"Alpha", "Bravo"}, 0);
    ASSERT_TRUE(runEditor('E', [&] {
        form.sName->setText("Kilo");
        click(form.SaveButton);
    }));
    EXPECT_EQ(names(storedSites()), (std::vector<std::string>{"Bravo", "Kilo"}));
    EXPECT_FALSE(Registry().keyExists(Registry::siteKeyPath("Alpha")));
    EXPECT_EQ(SiteList[CurrentSite].Name, "Kilo");
    EXPECT_EQ(SiteList[CurrentSite].Host, "Alpha.example.org");
}

TEST_F(SiteEditor, ChangingOnlyTheLetterCaseStoresTheNewSpelling)
{
    storeSites({"alpha", "Bravo"}, 0);
    ASSERT_TRUE(runEditor('E', [&] {
        form.sName->setText("ALPHA");
        click(form.SaveButton);
    }));
    EXPECT_EQ(names(storedSites()), (std::vector<std::string>{"ALPHA", "Bravo"}));
    EXPECT_EQ(SiteList[CurrentSite].Name, "ALPHA");
}

TEST_F(SiteEditor, OnlyTheRemoteDirectoryIsTrimmed)
{
    ASSERT_TRUE(runEditor('N', [&] {
        fillNewSite("Trail ");
        form.sHost->setText(" host.example.org ");
        form.sUser->setText(" user ");
        form.sRDir->setText(" \t/pub/incoming \x01");
        click(form.SaveButton);
    }));
    const TSiteRecord stored = storedSites()[0];
    EXPECT_EQ(stored.Name, "Trail ");
    EXPECT_EQ(stored.Host, " host.example.org ");
    EXPECT_EQ(stored.User, " user ");
    EXPECT_EQ(stored.RDir, "/pub/incoming");
}

TEST_F(SiteEditor, LeavingTheLocalDirectoryFieldChecksItUnlessBrowseOrCancelIsNext)
{
    runEditor('N', [&] {
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        form.sLDir->setFocus();
        form.sLDir->setText("/no/such/folder/anywhere");

        for (QWidget* next : {static_cast<QWidget*>(form.BrowseButton),
                              static_cast<QWidget*>(form.CancelButton)}) {
            next->setFocus();
            QCoreApplication::processEvents();
            EXPECT_TRUE(script->boxes.empty()) << next->objectName().toStdString();
            form.sLDir->setFocus();
        }

        form.sHost->setFocus();
        ASSERT_TRUE(waitFor([&] { return !script->boxes.empty(); }));
        expectErrorBox("Local directory does not exist. Correct");
        EXPECT_EQ(QApplication::focusWidget(), form.sLDir);
        EXPECT_EQ(script->beeps, 1);

        form.sLDir->clear();
        form.sHost->setFocus();
        QCoreApplication::processEvents();
        EXPECT_EQ(script->boxes.size(), 1u) << "an empty field is not checked on leaving";
    });
}

TEST_F(SiteEditor, ClickingSaveFromABadLocalDirectoryWarnsOnce)
{
    runEditor('N', [&] {
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        fillNewSite("Once");
        form.sLDir->setFocus();
        form.sLDir->setText("/no/such/folder/anywhere");
        click(form.SaveButton);
        QCoreApplication::processEvents();
        EXPECT_TRUE(form.isVisible());
    });
    EXPECT_EQ(script->boxes.size(), 1u) << script->boxTexts().join('|').toStdString();
    EXPECT_TRUE(storedSites().empty());
}

TEST_F(SiteEditor, BrowseFillsTheFolderWithATrailingDelimiter)
{
    runEditor('N', [&] {
        form.sLDir->clear();
        form.SiteDataChanged = false;
        script->answerText(localPath());
        click(form.BrowseButton);
        EXPECT_EQ(form.sLDir->text(), localPath() + "/");
        EXPECT_TRUE(form.SiteDataChanged);

        script->answerCancel();
        click(form.BrowseButton);
        EXPECT_EQ(form.sLDir->text(), localPath() + "/");
    });
    ASSERT_EQ(script->questions.size(), 2u);
    EXPECT_EQ(script->questions[0].kind, "folder");
    EXPECT_EQ(script->questions[0].caption, "Select Local Directory");
    EXPECT_EQ(script->questions[0].proposed, "") << "no folder is preselected";
}

TEST_F(SiteEditor, EnterAndEscapeDoNotCloseTheEditor)
{
    runEditor('N', [&] {
        QTest::keyClick(form.sHost, Qt::Key_Return);
        QTest::keyClick(form.sHost, Qt::Key_Escape);
        QTest::keyClick(form.SaveButton, Qt::Key_Return);
        QCoreApplication::processEvents();
        EXPECT_TRUE(form.isVisible());
        EXPECT_TRUE(script->boxes.empty());
    });
}

TEST_F(SiteEditor, SiteNameTakesAtMostTwentyCharacters)
{
    runEditor('N', [&] {
        form.sName->clear();
        QTest::keyClicks(form.sName, "abcdefghijklmnopqrstuvwxyz");
        EXPECT_EQ(form.sName->text(), "abcdefghijklmnopqrst");
    });
}

// A site stored elsewhere under a longer name (an imported site file) must not be renamed, and
// its old key dropped, just because the user edited another field of it.
TEST_F(SiteEditor, LongerStoredNameIsShownWholeAndKeptWhenAnotherFieldChanges)
{
    const std::string longName = "An imported site name of 34 chars";
    storeSites({longName});
    ASSERT_TRUE(runEditor('E', [&] {
        EXPECT_EQ(form.sName->text(), QString::fromStdString(longName));
        form.sHost->setText("new.example.org");
        click(form.SaveButton);
    }));
    const auto stored = storedSites();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].Name, longName);
    EXPECT_EQ(stored[0].Host, "new.example.org");

    runEditor('N', [&] {
        form.sName->clear();
        QTest::keyClicks(form.sName, "abcdefghijklmnopqrstuvwxyz");
        EXPECT_EQ(form.sName->text(), "abcdefghijklmnopqrst") << "a new name is held to 20";
    });
}

// Destroying the editor's fields moves the focus away from the local directory field; the
// focus handler must not run on a dialog that is already going away.
TEST_F(SiteEditor, ClosingTheProgramWhileTheLocalDirectoryHasTheFocus)
{
    auto editor = std::make_unique<TSiteForm>();
    editor->show();
    QApplication::setActiveWindow(editor.get());
    editor->sLDir->setText("/no/such/folder");
    editor->sLDir->setFocus();
    ASSERT_TRUE(waitFor([&] { return QApplication::focusWidget() == editor->sLDir; }));
    editor.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(script->boxes.empty()) << "no check ran for a dialog that is gone";
}

TEST_F(SiteEditor, EditWithoutACurrentSiteDoesNothing)
{
    EXPECT_FALSE(form.ShowModal('E'));
    EXPECT_FALSE(form.isVisible());
}

TEST_F(SiteEditor, ControlsCarryTheirNamesAndTabInOrder)
{
    const char* order[] = {"sName",      "sHost",        "sUser",        "sPass",
                           "sRDir",      "sLDir",        "SaveButton",   "CancelButton",
                           "BrowseButton", "sPasV",        "sEncryption",  "sConnections"};
    std::vector<QWidget*> wanted;
    for (const char* name : order) {
        QWidget* widget = form.findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << name;
        wanted.push_back(widget);
    }
    ASSERT_NE(form.findChild<QLabel*>("sEditFunction"), nullptr);

    std::vector<QWidget*> chain;
    for (QWidget* w = wanted.front(); chain.size() < wanted.size(); w = w->nextInFocusChain()) {
        if (std::find(wanted.begin(), wanted.end(), w) != wanted.end())
            chain.push_back(w);
    }
    EXPECT_EQ(chain, wanted);
}

// Relative luminance contrast of two colours (1 to 21); 4.5 is the usual floor for text.
double contrast(const QColor& a, const QColor& b)
{
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF())
               + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The fields are written in black; under a dark desktop colour scheme they must still be
// readable.
TEST_F(SiteEditor, FieldsStayReadableUnderADarkColourScheme)
{
    const QPalette kept = QApplication::palette();
    QPalette dark = kept;
    dark.setColor(QPalette::Window, QColor(53, 53, 53));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::Text, Qt::white);
    QApplication::setPalette(dark);
    {
        TSiteForm darkForm;
        for (const QLineEdit* edit : {darkForm.sName, darkForm.sHost, darkForm.sUser,
                                      darkForm.sPass, darkForm.sRDir, darkForm.sLDir}) {
            const QPalette& colours = edit->palette();
            EXPECT_GE(contrast(colours.color(QPalette::Text), colours.color(QPalette::Base)), 4.5)
                << edit->objectName().toStdString();
        }
    }
    QApplication::setPalette(kept);
}

struct NameCase {
    const char* id;
    char mode;
    std::vector<std::string> stored;
    std::int32_t current;
    QString name;
    QString refusal;  // empty when the name is accepted
    std::vector<std::string> storedAfter;
};

class SiteNameCheck : public SiteEditor, public testing::WithParamInterface<NameCase> {};

TEST_P(SiteNameCheck, RefusesNamesThatCannotBeStoredApart)
{
    const NameCase& test = GetParam();
    storeSites(test.stored, test.current);
    const bool saved = runEditor(test.mode, [&] {
        if (test.mode == 'N')
            fillNewSite(test.name);
        else
            form.sName->setText(test.name);
        click(form.SaveButton);
        if (!test.refusal.isEmpty()) {
            EXPECT_TRUE(form.isVisible()) << "the editor stays open";
            EXPECT_EQ(form.focusWidget(), form.sName);
        }
    });
    EXPECT_EQ(saved, test.refusal.isEmpty());
    if (!test.refusal.isEmpty()) {
        ASSERT_EQ(script->boxes.size(), 1u);
        expectErrorBox(test.refusal);
    } else {
        EXPECT_TRUE(boxesBesidesKeyringNote().isEmpty()) << script->boxTexts().join('|').toStdString();
    }
    EXPECT_EQ(names(storedSites()), test.storedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Mend, SiteNameCheck,
    testing::Values(
        NameCase{"create_empty", 'N', {"Alpha"}, 0, "", "Site name must not be empty", {"Alpha"}},
        NameCase{"create_tab", 'N', {"Alpha"}, 0, "Tab\there",
                 "Site name must not contain control characters", {"Alpha"}},
        NameCase{"create_del", 'N', {}, 0, "Del\x7f", "Site name must not contain control characters", {}},
        NameCase{"create_other_case", 'N', {"Alpha"}, 0, "ALPHA",
                 "A site named ALPHA already exists. Choose another name", {"Alpha"}},
        NameCase{"create_new_name", 'N', {"Alpha"}, 0, "Charlie", "", {"Alpha", "Charlie"}},
        NameCase{"rename_to_other_site", 'E', {"Alpha", "Bravo"}, 0, "bravo",
                 "A site named bravo already exists. Choose another name", {"Alpha", "Bravo"}},
        NameCase{"rename_empty", 'E', {"Alpha", "Bravo"}, 1, "", "Site name must not be empty",
                 {"Alpha", "Bravo"}},
        NameCase{"rename_own_case", 'E', {"Alpha", "Bravo"}, 0, "alpha", "", {"alpha", "Bravo"}}),
    [](const auto& info) { return std::string(info.param.id); });
