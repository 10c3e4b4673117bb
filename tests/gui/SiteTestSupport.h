// Shared set-up of the site store and site editor tests: scripted dialogs, an empty store
// and list before and after each test, and a local folder that exists.
#pragma once

#include "platform/Dialogs.h"
#include "platform/Registry.h"
#include "sites/SiteUnit.h"
#include "support/FtpServerProcess.h"

#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

class SiteStoreFixture : public testing::Test {
protected:
    void SetUp() override
    {
        auto scripted = std::make_unique<ScriptedDialogs>();
        script = scripted.get();
        installDialogs(std::move(scripted));
        resetStore();
    }
    void TearDown() override
    {
        resetStore();
        installDialogs(nullptr);
    }

    static void resetStore()
    {
        Registry().clearAll();
        SiteList.clear();
        SiteCount = 0;
        CurrentSite = 0;
    }

    TSiteRecord makeSite(const std::string& name) const
    {
        TSiteRecord site;
        site.Name = name;
        site.Host = name + ".example.org";
        site.User = "user-" + name;
        site.Pass = EncodePassword("pw-" + name);
        site.RDir = "/pub/" + name;
        site.LDir = localDir.path().string() + "/";
        return site;
    }

    // Puts `names` into the store, in that order in memory, and reloads.
    void storeSites(const std::vector<std::string>& names, std::int32_t current = 0)
    {
        SiteList.clear();
        for (const std::string& name : names)
            SiteList.push_back(makeSite(name));
        SiteCount = static_cast<std::int32_t>(SiteList.size());
        CurrentSite = current;
        SaveSiteList();
    }

    static std::vector<std::string> names(const std::vector<TSiteRecord>& sites)
    {
        std::vector<std::string> result;
        for (const TSiteRecord& site : sites)
            result.push_back(site.Name);
        return result;
    }

public:
    // The sites as a fresh load from the registry finds them (the list in memory is kept).
    static std::vector<TSiteRecord> storedSites()
    {
        const auto keptList = SiteList;
        const auto keptCount = SiteCount;
        LoadSiteList();
        std::vector<TSiteRecord> stored = SiteList;
        SiteList = keptList;
        SiteCount = keptCount;
        return stored;
    }

protected:
    QString localPath() const { return QString::fromStdString(localDir.path().string()); }

    ScriptedDialogs* script = nullptr;
    TempDir localDir{"tarn-site-local"};
};
