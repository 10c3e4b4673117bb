// Shared set-up of the tests of the connected window: a site aimed at a real (pyftpdlib) or
// scripted server, the window's failure log in a folder of its own, and readers of the
// remote pane, the trace and the log.
#pragma once

#include "MainWindowSupport.h"

#include "ftp/IdFTP.h"
#include "support/ScriptedFtpServer.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

class ConnectedWindowFixture : public MainWindowFixture {
protected:
    // Stores one site "srv" for `host`, then starts and shows the window; its failure log
    // goes to a folder of the test's own.
    void startWithSite(const std::string& host, const std::string& remoteDir = "", bool passive = true)
    {
        SiteList = {serverSite("srv", host, remoteDir, passive)};
        SiteCount = 1;
        CurrentSite = 0;
        SaveSiteList();
        start();
        window->TempFolderPath = logDir.path().string() + "/";
        show();
        window->session().ReadTimeout = 10000;
    }

    // A site that logs in to a test server at `host`, with the test's local folder.
    TSiteRecord serverSite(const std::string& name, const std::string& host,
                           const std::string& remoteDir = "", bool passive = true) const
    {
        TSiteRecord site;
        site.Name = name;
        site.Host = host;
        site.User = FtpServerProcess::kUser;
        site.Pass = EncodePassword(FtpServerProcess::kPassword);
        site.RDir = remoteDir;
        site.LDir = localFolder();
        site.Passive = passive;
        return site;
    }

    FtpServerProcess& realServer()
    {
        if (!server)
            server = std::make_unique<FtpServerProcess>(serverRoot.path());
        return *server;
    }

    // Connects the window to the real server; the test fails unless it is connected after.
    void connectToRealServer(const std::string& remoteDir = "", bool passive = true)
    {
        startWithSite("127.0.0.1:" + std::to_string(realServer().port()), remoteDir, passive);
        actionOf(*window, "acConnect")->trigger();
        ASSERT_TRUE(window->session().IsConnected()) << script->lastBoxText().toStdString();
    }

    void connectToScript(ScriptedFtpServer& scripted)
    {
        scripted.start();
        startWithSite("127.0.0.1:" + std::to_string(scripted.port()));
        actionOf(*window, "acConnect")->trigger();
    }

    std::vector<std::string> remoteNames() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < paneOf(*window, "LVR")->rowCount(); ++i)
            names.push_back(paneOf(*window, "LVR")->row(i).name);
        return names;
    }

    std::vector<std::string> sortedRemoteNames() const
    {
        std::vector<std::string> names = remoteNames();
        std::sort(names.begin(), names.end());
        return names;
    }

    static void selectRows(PaneView* pane, const std::vector<std::string>& names)
    {
        pane->clearSelection();
        for (const std::string& name : names) {
            const int row = pane->findRow(name);
            ASSERT_GE(row, 0) << name;
            pane->selectRow(row);
        }
    }
    // Selects as a click does, so the commands follow the selection.
    void selectRemote(const std::vector<std::string>& names)
    {
        selectRows(paneOf(*window, "LVR"), names);
        emit paneOf(*window, "LVR")->paneClicked();
    }
    void selectLocal(const std::vector<std::string>& names)
    {
        selectRows(paneOf(*window, "LVL"), names);
        emit paneOf(*window, "LVL")->paneClicked();
    }

    QStringList trace() const { return window->traceLines(); }
    int traceCount(const QString& line) const { return static_cast<int>(trace().count(line)); }
    bool traceHas(const QString& pattern) const
    {
        return !trace().filter(QRegularExpression(pattern)).isEmpty();
    }

    std::string failureLog() const
    {
        const auto path = logDir.path() / "FTP-log.txt";
        return std::filesystem::exists(path) ? readWholeFile(path) : std::string();
    }

    std::string serverFile(const std::string& name) const { return readWholeFile(serverRoot.path() / name); }
    std::string localFile(const std::string& name) const { return readWholeFile(localDir.path() / name); }

    TempDir serverRoot{"tarn-window-server"};
    TempDir logDir{"tarn-window-log"};
    std::unique_ptr<FtpServerProcess> server;
};
