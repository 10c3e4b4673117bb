// Shared set-up of the main window tests: scripted dialogs, an empty settings store, a
// recorded program exit, a local folder with a few entries, and the window itself.
#pragma once

#include "WindowParts.h"
#include "app/window/FTPUnit.h"
#include "app/window/QueueSites.h"
#include "platform/Dialogs.h"
#include "platform/Registry.h"
#include "sites/SiteUnit.h"
#include "support/FtpServerProcess.h"

#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Readable failure messages for texts shown in the window.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

class MainWindowFixture : public testing::Test {
protected:
    void SetUp() override
    {
        auto scripted = std::make_unique<ScriptedDialogs>();
        script = scripted.get();
        installDialogs(std::move(scripted));
        resetStore();
        savedExitHook = TFTPForm::exitProgramHook();
        TFTPForm::exitProgramHook() = [this](int code) { exitCodes.push_back(code); };
        writeFile("alpha.txt", 10);
        writeFile("beta.txt", 2000);
        std::filesystem::create_directory(localDir.path() / "sub");
        std::filesystem::create_directory(localDir.path() / "other");
    }

    void TearDown() override
    {
        window.reset();
        TFTPForm::exitProgramHook() = savedExitHook;
        resetStore();
        installDialogs(nullptr);
    }

    static void resetStore()
    {
        Registry().clearAll();
        std::filesystem::remove(queueStorePath().toStdString());
        SiteList.clear();
        SiteCount = 0;
        CurrentSite = 0;
    }

    void writeFile(const std::string& name, std::size_t size)
    {
        std::ofstream(localDir.path() / name, std::ios::binary) << std::string(size, 'x');
    }

    std::string localFolder() const { return localDir.path().string() + "/"; }

    // Stores sites named `names`, each with the local folder and its own passive flag.
    void storeSites(const std::vector<std::string>& names)
    {
        SiteList.clear();
        bool passive = false;
        for (const std::string& name : names) {
            TSiteRecord site;
            site.Name = name;
            site.Host = name + ".example.org";
            site.User = "user";
            site.Pass = EncodePassword("secret");
            site.RDir = "/pub/" + name;
            site.LDir = localFolder();
            site.Passive = passive;
            passive = !passive;
            SiteList.push_back(site);
        }
        SiteCount = static_cast<std::int32_t>(SiteList.size());
        CurrentSite = 0;
        SaveSiteList();
    }

    // Creates the window as a program start with `arguments` (the program path first). The
    // site editor only records its mode and answers Cancel, unless a test puts in its own.
    TFTPForm& start(const QStringList& arguments = {QStringLiteral("tarn")})
    {
        window = std::make_unique<TFTPForm>(arguments);
        window->runSiteEditor = [this](char mode) {
            editorModes.push_back(mode);
            return false;
        };
        return *window;
    }

    void show()
    {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    static std::vector<std::uint8_t> storedSettings()
    {
        Registry registry;
        std::vector<std::uint8_t> bytes(18);
        if (!registry.openKey(Registry::kProgramKey, false) ||
            !registry.valueExists("TarnSettings"))
            return {};
        bytes.resize(static_cast<std::size_t>(
            registry.readBinaryData("TarnSettings", bytes.data(), 18)));
        registry.closeKey();
        return bytes;
    }

    static void storeSettings(const std::vector<std::uint8_t>& bytes)
    {
        Registry registry;
        ASSERT_TRUE(registry.openKey(Registry::kProgramKey, true));
        registry.writeBinaryData("TarnSettings", bytes.data(), static_cast<int>(bytes.size()));
        registry.closeKey();
    }

    ScriptedDialogs* script = nullptr;
    std::unique_ptr<TFTPForm> window;
    std::vector<int> exitCodes;
    std::vector<char> editorModes;
    std::function<void(int)> savedExitHook;
    TempDir localDir{"tarn-window-local"};
};
