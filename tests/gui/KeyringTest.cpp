// Site passwords in the desktop keyring: GNOME Keyring's Secret Service on a private bus, a
// keyring that never answers, and a run with no session bus at all.
#include "ConnectedWindowSupport.h"
#include "SiteTestSupport.h"

#include "platform/PasswordStore.h"
#include "sites/SiteForm.h"

#include <QTimer>

#include <map>
#include <regex>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// label -> secret of every entry the program made, as the keyring's own tool lists them.
std::map<std::string, std::string> keyringEntries()
{
    Pipe output;
    ChildProcess tool({"/usr/bin/secret-tool", "search", "--all", "user", "password"}, -1, output.writeEnd.get());
    output.writeEnd.reset();
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(output.readEnd.get(), buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    std::map<std::string, std::string> entries;
    const std::regex item("label = (.*)\nsecret = (.*)\n");
    for (auto match = std::sregex_iterator(text.begin(), text.end(), item); match != std::sregex_iterator(); ++match)
        entries[(*match)[1]] = (*match)[2];
    return entries;
}

} // namespace

class KeyringWindow : public ConnectedWindowFixture {
protected:
    void TearDown() override
    {
        ConnectedWindowFixture::TearDown();
        installPasswordStore(std::make_unique<SettingsFilePasswordStore>());
        passwordWaitLimit() = 30s;
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    // Runs the editor's create ('N') or edit ('E') command as a user does: the fields once the
    // password is shown, changed by `fill`, then Save / Exit.
    void saveInEditor(char mode, const std::function<void(TSiteForm&)>& fill)
    {
        window->runSiteEditor = [&](char editMode) {
            TSiteForm& form = *window->siteEditor();
            SiteEditMode = editMode;
            form.FormShow();
            EXPECT_TRUE(QTest::qWaitFor([&] { return form.sPass->isEnabled(); }, 10000));
            fill(form);
            form.setResult(QDialog::Rejected);
            form.SaveButtonClick();
            return form.result() == QDialog::Accepted;
        };
        actionOf(*window, mode == 'N' ? "acCreateSite" : "acEditSite")->trigger();
    }

    void fillNewSite(TSiteForm& form, const QString& name)
    {
        form.sName->setText(name);
        form.sHost->setText(QString::fromStdString(host));
        form.sUser->setText(FtpServerProcess::kUser);
        form.sPass->setText(FtpServerProcess::kPassword);
        form.sLDir->setText(QString::fromStdString(localFolder()));
    }

    void expectConnects()
    {
        actionOf(*window, "acConnect")->trigger();
        EXPECT_TRUE(window->session().IsConnected()) << script->lastBoxText().toStdString();
        actionOf(*window, "acConnect")->trigger();
    }

    std::string label(const std::string& name) const { return "Tarn: " + name + " (tarn@" + host + ")"; }

    std::string host;
};

TEST_F(KeyringWindow, SecretServiceHoldsThePasswordsThroughSaveRenameExportDeleteAndImport)
{
    setenv("DBUS_SESSION_BUS_ADDRESS", keyringBusAddress().c_str(), 1);
    host = "127.0.0.1:" + std::to_string(realServer().port());
    startWithSite(host);   // written before there was a keyring: the password is in "PW"
    const std::string scrambled = SiteList[0].Pass;
    installPasswordStore(std::make_unique<KeyringPasswordStore>());
    expectConnects();
    EXPECT_EQ(SiteStoreFixture::storedSites()[0].Pass, scrambled);

    saveInEditor('N', [&](TSiteForm& form) { fillNewSite(form, "new"); });
    const std::map<std::string, std::string> both = {{label("new"), "secret"}, {label("srv"), "secret"}};
    EXPECT_EQ(keyringEntries(), both);
    for (const TSiteRecord& site : SiteStoreFixture::storedSites())
        EXPECT_EQ(site.Pass, "") << site.Name;
    expectConnects();

    saveInEditor('E', [](TSiteForm& form) { form.sName->setText("renamed"); });
    EXPECT_EQ(keyringEntries(), (std::map<std::string, std::string>{{label("renamed"), "secret"}, {label("srv"), "secret"}}));

    const QString file = QString::fromStdString((localDir.path() / "all.fst").string());
    script->answerText(file);
    actionOf(*window, "acExportAllSites")->trigger();
    actionOf(*window, "acDeleteSite")->trigger();
    actionOf(*window, "acDeleteSite")->trigger();
    EXPECT_EQ(SiteCount, 0);
    EXPECT_TRUE(keyringEntries().empty());

    script->answerText(file);
    actionOf(*window, "acImportSite")->trigger();
    EXPECT_EQ(keyringEntries().size(), 2u);
    EXPECT_EQ(SiteStoreFixture::storedSites()[0].Pass, "");
    expectConnects();
}

TEST_F(KeyringWindow, WithoutASessionBusTheSettingsFileKeepsThePasswordAndSaysSoOnce)
{
    installPasswordStore(std::make_unique<SettingsFilePasswordStore>(QStringLiteral("no session bus")));
    host = "127.0.0.1:" + std::to_string(realServer().port());
    startWithSite(host);
    saveInEditor('N', [&](TSiteForm& form) { fillNewSite(form, "new"); });
    saveInEditor('E', [](TSiteForm& form) { form.sPasV->toggle(); });
    const QStringList told = script->boxTexts().filter("stored in the settings file");
    ASSERT_EQ(told.size(), 1) << script->boxTexts().join('\n').toStdString();
    EXPECT_TRUE(told[0].startsWith("No desktop keyring could be reached (no session bus), so the password of site new"));
    EXPECT_EQ(DecodePassword(SiteStoreFixture::storedSites()[0].Pass), "secret");
    expectConnects();
}

TEST_F(KeyringWindow, AKeyringThatNeverAnswersRefusesTheConnectWithoutFreezingTheWindow)
{
    host = "127.0.0.1:" + std::to_string(realServer().port());
    startWithSite(host);
    SiteList[0].Pass.clear();
    SiteList[0].PassEntry = label("srv");
    SaveSiteList();
    auto silent = std::make_unique<ScriptedPasswordStore>();
    silent->silent = true;
    installPasswordStore(std::move(silent));
    passwordWaitLimit() = 300ms;

    bool handled = false;
    QTimer::singleShot(10, window.get(), [&] { handled = true; });
    actionOf(*window, "acConnect")->trigger();
    EXPECT_TRUE(handled) << "no event was handled while the keyring was awaited";
    EXPECT_FALSE(window->session().IsConnected());
    EXPECT_TRUE(actionOf(*window, "acConnect")->isEnabled() && actionOf(*window, "acEditSite")->isEnabled());
    EXPECT_EQ(script->lastBoxText(), "Site srv: its password is in the desktop keyring, which this run cannot reach "
                                     "(no answer within 1 second). To keep a password for unattended runs, tick \"Keep "
                                     "the password in the settings file for unattended runs\" in the site editor.");

    // The editor will not save a password it could not read, until the user types it again.
    saveInEditor('E', [](TSiteForm& form) { form.sKeepPW->setChecked(true); });
    EXPECT_TRUE(script->lastBoxText().endsWith("\rType the password to save the site."));
    saveInEditor('E', [](TSiteForm& form) {
        form.sKeepPW->setChecked(true);
        QTest::keyClicks(form.sPass, "secret");
    });
    EXPECT_TRUE(SiteStoreFixture::storedSites()[0].KeepPass);
    expectConnects();
}
