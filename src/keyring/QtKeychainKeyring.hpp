#pragma once

#include <QObject>
#include <QString>
#include <string>

#include "settings/PasswordKeyring.hpp"

// The desktop's Secret Service through QtKeychain, under one service name; an entry's key is
// the connection's "login@host:port". QtKeychain's plain-text fallback is off: a password goes to
// the keyring or nowhere. Answers come from the jobs' finished signals; once this object is
// gone, jobs still running finish without calling back.
class QtKeychainKeyring final : public QObject, public PasswordKeyring {
    Q_OBJECT

public:
    explicit QtKeychainKeyring(QString service = QStringLiteral("krvClientA"), QObject* parent = nullptr);

    bool Present() const override;
    void Read(const std::string& key, Callback done) override;
    void Write(const std::string& key, const std::string& password, Callback done) override;
    void Erase(const std::string& key, Callback done) override;

private:
    void AnswerNotFound(Callback done);

    QString service_;
};
