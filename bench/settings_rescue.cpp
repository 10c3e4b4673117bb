// A damaged settings file of 100 MB (two readable sites, then random bytes) rescued at start-up:
// the time to keep it aside and read its sites, the time of a second start that finds the same
// damaged bytes already kept, and the time of a headless run that only reads the sites.
// Usage: bench_settings_rescue [MEGABYTES]
#include "app/window/SettingsRescue.h"
#include "platform/Dialogs.h"
#include "platform/Registry.h"
#include "sites/SiteUnit.h"
#include "support/FtpServerProcess.h"

#include "BenchSupport.h"

#include <QCoreApplication>

#include <cstdio>
#include <filesystem>
#include <random>

namespace {

void storeTwoSites()
{
    SiteList.clear();
    for (const char* name : {"alpha", "beta"}) {
        TSiteRecord site;
        site.Name = name;
        site.Host = std::string(name) + ".example.org";
        site.User = "user";
        site.Pass = EncodePassword("secret");
        SiteList.push_back(site);
    }
    SiteCount = 2;
    SaveSiteList();
}

std::string randomBytes(std::size_t size)
{
    std::mt19937_64 random(2024);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t word = random();
        for (std::size_t k = 0; k < 8; ++k)
            bytes[i + k] = static_cast<char>(word >> (8 * k));
    }
    return bytes;
}

std::size_t keptCopies(const std::filesystem::path& folder)
{
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        count += entry.path().filename().string().find(".damaged-") != std::string::npos;
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    const long megabytes = argc > 1 ? std::max(1L, std::atol(argv[1])) : 100;
    TempDir home("tarn-bench-rescue");
    setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
    QCoreApplication application(argc, argv);
    installDialogs(std::make_unique<ScriptedDialogs>());

    storeTwoSites();
    const std::filesystem::path file = Registry().storeFileName().toStdString();
    const std::string damaged = readWholeFile(file) + randomBytes(static_cast<std::size_t>(megabytes) << 20);
    for (const char* start : {"first start", "second start, same damage already kept"}) {
        writeWholeFile(file, damaged);
        const double took = bench::seconds([] { rescueDamagedSettings(); });
        std::printf("%-40s %6.2f s  %7.1f MB/s  sites read: %d  kept copies: %zu\n", start, took,
                    static_cast<double>(megabytes) / took, SiteCount, keptCopies(file.parent_path()));
    }
    // A headless run leaves the damaged file alone and reads what sites it can.
    writeWholeFile(file, damaged);
    const double took = bench::seconds([] { LoadSiteList(); });
    std::printf("%-40s %6.2f s  %7.1f MB/s  sites read: %d\n", "sites read, no rescue (--batch)", took,
                static_cast<double>(megabytes) / took, SiteCount);
    std::printf("settings file of %ld MB of damage\n", megabytes);
    return 0;
}
