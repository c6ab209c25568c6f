#include "keyring/QtKeychainKeyring.hpp"

#include <qt6keychain/keychain.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>
#include <QStringList>

namespace {

const QString kSecretService = QStringLiteral("org.freedesktop.secrets");

QString KeyText(const std::string& key) {
    return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

PasswordKeyring::Answer AnswerOf(const QKeychain::Job& job) {
    PasswordKeyring::Answer answer;
    switch (job.error()) {
        case QKeychain::NoError:
            answer.outcome = PasswordKeyring::Outcome::Done;
            break;
        case QKeychain::EntryNotFound:
            answer.outcome = PasswordKeyring::Outcome::NotFound;
            break;
        default:
            answer.outcome = PasswordKeyring::Outcome::Failed;
            answer.error = job.errorString().toStdString();
            break;
    }
    return answer;
}

// The job deletes itself once finished; the answer reaches the caller only while owner lives.
void Run(QKeychain::Job* job, const QString& key, QObject* owner,
         std::function<void(QKeychain::Job&)> finished) {
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, owner,
                     [finished = std::move(finished)](QKeychain::Job* done) { finished(*done); });
    job->start();
}

}  // namespace

QtKeychainKeyring::QtKeychainKeyring(QString service, QObject* parent)
    : QObject(parent), service_(std::move(service)) {}

// A Secret Service that the bus starts on demand counts as present as well as a running one.
bool QtKeychainKeyring::Present() const {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return false;
    }
    if (bus.interface()->isServiceRegistered(kSecretService).value()) {
        return true;
    }
    const QDBusReply<QStringList> activatable = bus.interface()->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(kSecretService);
}

void QtKeychainKeyring::Read(const std::string& key, Callback done) {
    auto* job = new QKeychain::ReadPasswordJob(service_);
    Run(job, KeyText(key), this, [this, done = std::move(done)](QKeychain::Job& finished) mutable {
        Answer answer = AnswerOf(finished);
        if (answer.outcome == Outcome::Done) {
            const QByteArray bytes = static_cast<QKeychain::ReadPasswordJob&>(finished).binaryData();
            answer.password.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
        }
        if (answer.outcome == Outcome::NotFound) {
            AnswerNotFound(std::move(done));
            return;
        }
        done(answer);
    });
}

// A locked collection whose unlocking prompt cannot be shown hides its entries: the library
// answers "not found". Whether the default collection is locked tells that apart from an entry
// that is not there, so that the administrator learns why the password is asked.
void QtKeychainKeyring::AnswerNotFound(Callback done) {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        kSecretService, QStringLiteral("/org/freedesktop/secrets/aliases/default"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    ask << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [done = std::move(done)](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QDBusVariant> reply = *call;
                Answer answer;
                answer.outcome = Outcome::NotFound;
                if (reply.isValid() && reply.value().variant().toBool()) {
                    answer.outcome = Outcome::Failed;
                    answer.error = "the keyring is locked";
                }
                done(answer);
            });
}

void QtKeychainKeyring::Write(const std::string& key, const std::string& password, Callback done) {
    auto* job = new QKeychain::WritePasswordJob(service_);
    // The wire's passwords are bytes, not necessarily UTF-8: they are kept as they are.
    job->setBinaryData(QByteArray(password.data(), static_cast<qsizetype>(password.size())));
    Run(job, KeyText(key), this,
        [done = std::move(done)](QKeychain::Job& finished) { done(AnswerOf(finished)); });
}

void QtKeychainKeyring::Erase(const std::string& key, Callback done) {
    auto* job = new QKeychain::DeletePasswordJob(service_);
    Run(job, KeyText(key), this, [done = std::move(done)](QKeychain::Job& finished) {
        Answer answer = AnswerOf(finished);
        if (answer.outcome == Outcome::NotFound) {
            answer.outcome = Outcome::Done;
        }
        done(answer);
    });
}
