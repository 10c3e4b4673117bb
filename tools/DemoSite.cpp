// tarn_demo_site: stores one FTP site through the site store, in the settings of the current
// XDG_CONFIG_HOME, so that a script (make demo, a benchmark) can prepare a site whose password
// is scrambled exactly as the site editor stores it when it keeps it in the settings file.
#include "platform/Dialogs.h"
#include "sites/SiteUnit.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

struct SiteArguments {
    TSiteRecord site;
    std::string plainPassword;
};

std::optional<SiteArguments> parseArguments(const QCoreApplication& application)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Stores one FTP site in Tarn's settings ($XDG_CONFIG_HOME/Kalmor/Tarn.conf); "
                       "a site of the same name is replaced."));
    parser.addHelpOption();
    const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("Site name."), QStringLiteral("name"));
    const QCommandLineOption host(QStringLiteral("host"), QStringLiteral("Host, or host:port."), QStringLiteral("host"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("User name."), QStringLiteral("user"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Password (stored scrambled)."),
                                      QStringLiteral("password"));
    const QCommandLineOption remoteDir(QStringLiteral("rdir"), QStringLiteral("Initial remote directory."),
                                       QStringLiteral("dir"));
    const QCommandLineOption localDir(QStringLiteral("ldir"), QStringLiteral("Local directory."), QStringLiteral("dir"));
    const QCommandLineOption passive(QStringLiteral("passive"), QStringLiteral("Use passive transfers."));
    parser.addOptions({name, host, user, password, remoteDir, localDir, passive});
    parser.process(application);
    if (parser.value(name).isEmpty() || parser.value(host).isEmpty()) {
        std::fputs("tarn_demo_site: --name and --host are required\n", stderr);
        return std::nullopt;
    }
    SiteArguments arguments;
    arguments.site.Name = parser.value(name).toStdString();
    arguments.site.Host = parser.value(host).toStdString();
    arguments.site.User = parser.value(user).toStdString();
    arguments.plainPassword = parser.value(password).toStdString();
    arguments.site.Pass = EncodePassword(arguments.plainPassword);
    arguments.site.RDir = parser.value(remoteDir).toStdString();
    arguments.site.LDir = parser.value(localDir).toStdString();
    arguments.site.Passive = parser.isSet(passive);
    // A demo's throw-away site stays out of the user's desktop keyring.
    arguments.site.KeepPass = true;
    return arguments;
}

// Site names compare without regard to case, as the store's keys do.
int findSite(const std::string& name)
{
    const QString wanted = QString::fromStdString(name);
    for (std::int32_t i = 0; i < SiteCount; ++i) {
        if (QString::fromStdString(SiteList[i].Name).compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// Adds the site, or replaces the one of the same name, and makes it the current site.
void storeSite(const TSiteRecord& site)
{
    LoadSiteList();
    const int at = findSite(site.Name);
    if (at < 0) {
        SiteList.push_back(site);
        CurrentSite = static_cast<std::int32_t>(SiteList.size()) - 1;
    } else {
        SiteList[at] = site;
        CurrentSite = at;
    }
    SiteCount = static_cast<std::int32_t>(SiteList.size());
    SaveSiteList();
}

// Reads the store back: the site must be there with the values given, the password included.
bool storedAsGiven(const SiteArguments& arguments)
{
    LoadSiteList();
    const int at = findSite(arguments.site.Name);
    if (at < 0)
        return false;
    const TSiteRecord& stored = SiteList[at];
    return stored.Host == arguments.site.Host && stored.User == arguments.site.User
        && DecodePassword(stored.Pass) == arguments.plainPassword && stored.RDir == arguments.site.RDir
        && stored.LDir == arguments.site.LDir && stored.Passive == arguments.site.Passive;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const std::optional<SiteArguments> arguments = parseArguments(application);
    if (!arguments)
        return 2;
    // The store reports a key it cannot open in a message box; here it goes to standard error.
    auto recorder = std::make_unique<ScriptedDialogs>();
    const ScriptedDialogs& messages = *recorder;
    installDialogs(std::move(recorder));
    storeSite(arguments->site);
    for (const QString& text : messages.boxTexts())
        std::fprintf(stderr, "tarn_demo_site: %s\n", text.toLocal8Bit().constData());
    if (!storedAsGiven(*arguments)) {
        std::fprintf(stderr, "tarn_demo_site: the site %s could not be stored\n", arguments->site.Name.c_str());
        return 1;
    }
    return 0;
}
