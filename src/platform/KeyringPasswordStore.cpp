// The desktop keyring through QtKeychain: one asynchronous job per call, which deletes itself
// when it has answered. The entry's name is the job's service, which the Secret Service shows
// as the entry's label.
#include "platform/PasswordStore.h"

#include <qt6keychain/keychain.h>

namespace {

// Every entry of the program holds one password under the same key; the service tells them apart.
const QString kPasswordKey = QStringLiteral("password");

PasswordReply replyOf(const QKeychain::Job& job)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return {PasswordResult::Done, {}, {}};
    case QKeychain::EntryNotFound:
        return {PasswordResult::NotFound, {}, {}};
    default:
        break;
    }
    const QString detail = job.errorString().isEmpty() ? QStringLiteral("the keyring refused the request")
                                                       : job.errorString();
    return {PasswordResult::Unreachable, {}, detail};
}

void startJob(QKeychain::Job* job, PasswordCallback done)
{
    job->setAutoDelete(true);
    job->setKey(kPasswordKey);
    QObject::connect(job, &QKeychain::Job::finished, job, [done = std::move(done)](QKeychain::Job* finished) {
        PasswordReply reply = replyOf(*finished);
        const auto* read = qobject_cast<const QKeychain::ReadPasswordJob*>(finished);
        if (read && reply.result == PasswordResult::Done)
            reply.password = read->binaryData().toStdString();
        done(reply);
    });
    job->start();
}

// A password that is valid UTF-8 is stored as text, so the keyring's manager shows it as typed.
bool isUtf8(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

} // namespace

void KeyringPasswordStore::read(const QString& entry, PasswordCallback done)
{
    startJob(new QKeychain::ReadPasswordJob(entry), std::move(done));
}

void KeyringPasswordStore::write(const QString& entry, const std::string& password, PasswordCallback done)
{
    auto* job = new QKeychain::WritePasswordJob(entry);
    const QByteArray bytes = QByteArray::fromStdString(password);
    if (isUtf8(bytes))
        job->setTextData(QString::fromUtf8(bytes));
    else
        job->setBinaryData(bytes);
    startJob(job, std::move(done));
}

void KeyringPasswordStore::remove(const QString& entry, PasswordCallback done)
{
    startJob(new QKeychain::DeletePasswordJob(entry), [done = std::move(done)](const PasswordReply& reply) {
        done(reply.result == PasswordResult::NotFound ? PasswordReply{PasswordResult::Done, {}, {}} : reply);
    });
}
