// The scripted password store used by tests: entries in a map, every call recorded.
#include "platform/PasswordStore.h"

bool ScriptedPasswordStore::answers(const QString& call, const PasswordCallback& done)
{
    calls.push_back(call);
    if (silent)
        return false;
    if (unreachable) {
        done({PasswordResult::Unreachable, {}, QStringLiteral("scripted keyring unreachable")});
        return false;
    }
    return true;
}

void ScriptedPasswordStore::read(const QString& entry, PasswordCallback done)
{
    if (!answers(QStringLiteral("read ") + entry, done))
        return;
    const auto found = entries.find(entry);
    if (found == entries.end())
        done({PasswordResult::NotFound, {}, {}});
    else
        done({PasswordResult::Done, found->second, {}});
}

void ScriptedPasswordStore::write(const QString& entry, const std::string& password, PasswordCallback done)
{
    if (!answers(QStringLiteral("write ") + entry, done))
        return;
    entries[entry] = password;
    done({PasswordResult::Done, {}, {}});
}

void ScriptedPasswordStore::remove(const QString& entry, PasswordCallback done)
{
    if (!answers(QStringLiteral("remove ") + entry, done))
        return;
    entries.erase(entry);
    done({PasswordResult::Done, {}, {}});
}
