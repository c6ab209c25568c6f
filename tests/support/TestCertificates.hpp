#pragma once

// Certificates made for one test with the system's openssl, in a folder of its own: a test
// authority, a "localhost" certificate it signed, and self-signed ones on demand.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class TestCertificates {
public:
    QString Folder() const { return dir_.path(); }
    QString Path(const QString& name) const { return dir_.filePath(name); }

    // ca.pem (with ca.key), and NAME.pem / NAME.key for "localhost", signed by it.
    bool MakeAuthorityAndSigned(const QString& name) {
        return Openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", Path("ca.key"), "-out",
                        Path("ca.pem"), "-days", "2", "-subj", "/CN=krv test authority"}) &&
               Openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", Path(name + ".key"), "-out",
                        Path(name + ".csr"), "-subj", "/CN=localhost"}) &&
               Write(Path("san.ext"), "subjectAltName=DNS:localhost\n") &&
               Openssl({"x509", "-req", "-in", Path(name + ".csr"), "-CA", Path("ca.pem"), "-CAkey",
                        Path("ca.key"), "-CAcreateserial", "-days", "2", "-extfile", Path("san.ext"), "-out",
                        Path(name + ".pem")});
    }

    // NAME.pem / NAME.key, self-signed for "localhost".
    bool MakeSelfSigned(const QString& name) {
        return Openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", Path(name + ".key"),
                        "-out", Path(name + ".pem"), "-days", "2", "-subj", "/CN=localhost", "-addext",
                        "subjectAltName=DNS:localhost"});
    }

    // As "openssl x509 -noout -fingerprint -sha256" prints it, the part after "=".
    QString Fingerprint(const QString& name) {
        QProcess openssl;
        openssl.start("openssl", {"x509", "-in", Path(name + ".pem"), "-noout", "-fingerprint", "-sha256"});
        openssl.waitForFinished();
        const QString line = QString::fromLatin1(openssl.readAllStandardOutput()).trimmed();
        return line.mid(line.indexOf('=') + 1);
    }

    // The demo server's arguments serving NAME.
    QStringList ServerArguments(const QString& name) const {
        return {"--tls-cert", Path(name + ".pem"), "--tls-key", Path(name + ".key")};
    }

private:
    bool Openssl(const QStringList& arguments) {
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start("openssl", arguments);
        return openssl.waitForFinished(60000) && openssl.exitStatus() == QProcess::NormalExit &&
               openssl.exitCode() == 0;
    }

    static bool Write(const QString& path, const QByteArray& text) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    }

    QTemporaryDir dir_;
};
