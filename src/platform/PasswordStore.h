// Where site passwords are kept outside the settings file: the desktop keyring behind one
// interface (installed like the dialogs), its stand-in where no keyring can be reached, and a
// scripted one for tests; and the wait for an answer that keeps the window responsive.
#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

enum class PasswordResult { Done, NotFound, Unreachable };

struct PasswordReply {
    PasswordResult result = PasswordResult::Unreachable;
    std::string password;   // what a read found
    QString detail;         // why the keyring could not be used, in words for a message
};

using PasswordCallback = std::function<void(const PasswordReply&)>;

// Entries are named by a text the user recognises in the keyring's own manager. Each call
// answers through `done` on the window thread, once, at once or later; a keyring that hangs
// may never answer, so callers wait with awaitPasswordReply or a deadline of their own.
class PasswordStore {
public:
    virtual ~PasswordStore() = default;
    virtual void read(const QString& entry, PasswordCallback done) = 0;
    virtual void write(const QString& entry, const std::string& password, PasswordCallback done) = 0;
    // Removing an entry that does not exist is done.
    virtual void remove(const QString& entry, PasswordCallback done) = 0;
};

// The installed store; unless one was installed, the desktop keyring when a session bus is
// known, else the settings-file store.
PasswordStore& passwordStore();
// Installs `replacement` (nullptr goes back to the choice above).
void installPasswordStore(std::unique_ptr<PasswordStore> replacement);

// How long a caller waits for the keyring: long enough for the desktop's unlock prompt in the
// window; a headless run sets a few seconds.
std::chrono::milliseconds& passwordWaitLimit();
// "no answer within N seconds", for the limit now in force.
QString noAnswerText();

// Calls `ask` with a callback and waits for the answer, at most passwordWaitLimit(); events
// are handled meanwhile, so the window stays responsive. Past the limit it answers
// Unreachable with noAnswerText(); a late answer is dropped.
PasswordReply awaitPasswordReply(const std::function<void(PasswordCallback)>& ask);

// The Secret Service (GNOME Keyring, KWallet) through QtKeychain.
class KeyringPasswordStore : public PasswordStore {
public:
    void read(const QString& entry, PasswordCallback done) override;
    void write(const QString& entry, const std::string& password, PasswordCallback done) override;
    void remove(const QString& entry, PasswordCallback done) override;
};

// No keyring: every password stays scrambled in the settings file, so every call answers
// Unreachable with `reason`.
class SettingsFilePasswordStore : public PasswordStore {
public:
    explicit SettingsFilePasswordStore(QString reason = QStringLiteral("no desktop keyring"));
    void read(const QString& entry, PasswordCallback done) override;
    void write(const QString& entry, const std::string& password, PasswordCallback done) override;
    void remove(const QString& entry, PasswordCallback done) override;

private:
    void refuse(const PasswordCallback& done) const;
    QString m_reason;
};

// For tests: entries in memory, every call recorded ("read NAME", "write NAME", "remove
// NAME"). It answers at once, or Unreachable when `unreachable` is set, or never when
// `silent` is set.
class ScriptedPasswordStore : public PasswordStore {
public:
    std::map<QString, std::string> entries;
    std::vector<QString> calls;
    bool unreachable = false;
    bool silent = false;

    void read(const QString& entry, PasswordCallback done) override;
    void write(const QString& entry, const std::string& password, PasswordCallback done) override;
    void remove(const QString& entry, PasswordCallback done) override;

private:
    // Records the call; true when it is to be answered from the entries.
    bool answers(const QString& call, const PasswordCallback& done);
};
