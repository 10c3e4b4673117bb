// Entry of the window tests: an offscreen application whose settings and home live in
// temporary folders, so no test reads or writes the user's own files.
#include "platform/PasswordStore.h"
#include "support/FtpServerProcess.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char* argv[])
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TempDir configHome("tarn-gui-config");
    setenv("XDG_CONFIG_HOME", configHome.path().c_str(), 1);
    // The help viewer keeps its working copy of the help collection in the cache folder.
    TempDir cacheHome("tarn-gui-cache");
    setenv("XDG_CACHE_HOME", cacheHome.path().c_str(), 1);
    // Without a site the local pane lists the home folder: a small one of the tests' own.
    TempDir home("tarn-gui-home");
    setenv("HOME", home.path().c_str(), 1);
    // Passwords stay in the settings file unless a test installs a keyring of its own: no test
    // reaches the user's desktop keyring.
    installPasswordStore(std::make_unique<SettingsFilePasswordStore>());
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
