// The installed password store, the choice of the keyring or the settings file, and the wait
// for the keyring's answer.
#include "platform/PasswordStore.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <optional>

namespace {

std::unique_ptr<PasswordStore>& installedStore()
{
    static std::unique_ptr<PasswordStore> store;
    return store;
}

// A desktop session names its bus; a user session of systemd also has its socket at a fixed
// place. A cron job usually has neither, and then no keyring can answer.
bool sessionBusKnown()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

} // namespace

PasswordStore& passwordStore()
{
    auto& store = installedStore();
    if (!store) {
        if (sessionBusKnown())
            store = std::make_unique<KeyringPasswordStore>();
        else
            store = std::make_unique<SettingsFilePasswordStore>(QStringLiteral("no session bus"));
    }
    return *store;
}

void installPasswordStore(std::unique_ptr<PasswordStore> replacement)
{
    installedStore() = std::move(replacement);
}

std::chrono::milliseconds& passwordWaitLimit()
{
    static std::chrono::milliseconds limit{30000};
    return limit;
}

QString noAnswerText()
{
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(passwordWaitLimit()).count();
    return QStringLiteral("no answer within %1 second%2").arg(seconds).arg(seconds == 1 ? "" : "s");
}

PasswordReply awaitPasswordReply(const std::function<void(PasswordCallback)>& ask)
{
    // Shared with the callback: the answer may come after this wait gave up, or at once,
    // before any event loop is needed.
    struct Waiting {
        std::optional<PasswordReply> reply;
        QPointer<QEventLoop> loop;
    };
    auto waiting = std::make_shared<Waiting>();
    ask([waiting](const PasswordReply& answer) {
        if (waiting->reply)
            return;
        waiting->reply = answer;
        if (waiting->loop)
            waiting->loop->quit();
    });
    if (!waiting->reply) {
        QEventLoop loop;
        waiting->loop = &loop;
        QTimer::singleShot(passwordWaitLimit(), &loop, &QEventLoop::quit);
        loop.exec();
    }
    // A later answer must not count: this wait has told its caller there was none.
    if (!waiting->reply)
        waiting->reply = PasswordReply{PasswordResult::Unreachable, {}, noAnswerText()};
    return *waiting->reply;
}

SettingsFilePasswordStore::SettingsFilePasswordStore(QString reason) : m_reason(std::move(reason)) {}

void SettingsFilePasswordStore::refuse(const PasswordCallback& done) const
{
    done({PasswordResult::Unreachable, {}, m_reason});
}

void SettingsFilePasswordStore::read(const QString&, PasswordCallback done)
{
    refuse(done);
}

void SettingsFilePasswordStore::write(const QString&, const std::string&, PasswordCallback done)
{
    refuse(done);
}

void SettingsFilePasswordStore::remove(const QString&, PasswordCallback done)
{
    refuse(done);
}
