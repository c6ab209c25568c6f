#include "window/untKrvClientA.hpp"

#include <string>

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include "session/ConnectionLog.hpp"
#include "session/ReachPolicy.hpp"
#include "settings/IniStore.hpp"
#include "window/DisplayText.hpp"

// How the server is reached: the connection in use's way, the certificates the administrator
// accepted, and what the window shows of the link's protection.

namespace {

std::string CertificateFacts(const PeerCertificate& certificate) {
    return "Server: " + EndpointKey(certificate.host, certificate.port) +
           "\nSubject: " + certificate.subject + "\nIssuer: " + certificate.issuer + "\nValid from " +
           certificate.validFrom + " until " + certificate.validUntil +
           "\nSHA-256: " + ColonFingerprint(certificate.sha256) +
           (certificate.reasons.empty() ? std::string() : "\n\n" + certificate.reasons);
}

}  // namespace

void TfrmKrvClientA::SetReach(const ServerReach& reach) {
    reach_ = reach;
    socket_->SetTls(TlsPolicyOf(reach_));
    SshPolicy ssh = SshPolicyOf(reach_);
    // ssh asks through this program's own dialog (its askpass mode).
    ssh.askpassProgram = QCoreApplication::applicationFilePath().toStdString();
    socket_->SetSsh(ssh);
}

void TfrmKrvClientA::SetSshTarget(const std::string& target) {
    ServerReach reach = reach_;
    reach.way = target.empty() ? "tcp" : SshWay(target);
    SetReach(reach);
    SaveSettings();
}

void TfrmKrvClientA::SetTlsOn(bool on) {
    ServerReach reach = reach_;
    reach.way = on ? "tls" : "tcp";
    SetReach(reach);
    SaveSettings();
}

void TfrmKrvClientA::ForgetAcceptedCertificates() {
    ServerReach reach = reach_;
    reach.tlsPins.clear();
    SetReach(reach);
    SaveSettings();
    StoreWithServersInUse(reach_);
}

// A saved server that is the connection in use keeps what was accepted for it too.
void TfrmKrvClientA::StoreWithServersInUse(const ServerReach& reach) {
    const QByteArray path = QFile::encodeName(iniFileName_);
    IniStore ini(std::string(path.constData(), static_cast<size_t>(path.size())));
    if (!ini.Load()) {
        return;
    }
    const StoredSettings inUse = ConnectionInUse();
    bool changed = false;
    for (SavedServer server : ReadSavedServers(ini)) {
        if (IsServerInUse(server, inUse)) {
            server.tlsPins = reach.tlsPins;
            changed = WriteSavedServer(ini, server) || changed;
        }
    }
    if (changed) {
        ini.Save();
    }
}

void TfrmKrvClientA::ShowLinkProtection(const LinkEvent& event) {
    if (event.kind == LinkEventKind::Connect) {
        const std::string protection = socket_->Protection();
        if (!protection.empty()) {
            log_->Note("Protection", protection);
            connectionPanel_->setToolTip(BytesToDisplay("Encrypted: " + protection));
        }
        return;
    }
    const int32_t code = session_->Link().LastErrorCode();
    if (event.kind != LinkEventKind::Error || !IsLinkRefusal(code)) {
        return;
    }
    const std::optional<PeerCertificate> refused = socket_->RefusedCertificate();
    if (refused) {
        log_->Note("Certificate", "SHA-256 " + ColonFingerprint(refused->sha256) + ", subject " +
                                      refused->subject + ", issuer " + refused->issuer);
    }
    if (code == LinkRefusal::CertificateUnverified && refused) {
        AskToAcceptCertificate(*refused);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Critical, QCoreApplication::applicationName(),
                                BytesToDisplay(session_->Link().LastErrorText()), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("linkRefusalBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    if (refused) {
        box->setInformativeText(BytesToDisplay(CertificateFacts(*refused)));
    }
    box->show();
}

// Shown once for the endpoint; accepted, the certificate is pinned and the attempt made again.
// The box runs no loop of its own: the window's timer goes on.
void TfrmKrvClientA::AskToAcceptCertificate(const PeerCertificate& certificate) {
    auto* box =
        new QMessageBox(QMessageBox::Warning, QCoreApplication::applicationName(),
                        QStringLiteral("The certificate of %1 is not vouched for by a trusted authority.\n"
                                       "Accept it for this server? Only this certificate will be "
                                       "accepted from now on.")
                            .arg(BytesToDisplay(EndpointKey(certificate.host, certificate.port))),
                        QMessageBox::Cancel, this);
    box->setObjectName(QStringLiteral("certificateBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(BytesToDisplay(CertificateFacts(certificate)));
    QPushButton* accept = box->addButton(QStringLiteral("&Accept this certificate"), QMessageBox::AcceptRole);
    accept->setObjectName(QStringLiteral("btAcceptCertificate"));
    box->setDefaultButton(QMessageBox::Cancel);
    connect(accept, &QPushButton::clicked, this, [this, certificate] { AcceptCertificate(certificate); });
    box->show();
}

void TfrmKrvClientA::AcceptCertificate(const PeerCertificate& certificate) {
    std::map<std::string, std::string> pins = ParsePins(reach_.tlsPins);
    pins[EndpointKey(certificate.host, certificate.port)] = certificate.sha256;
    ServerReach reach = reach_;
    reach.tlsPins = PinsText(pins);
    SetReach(reach);
    log_->Note("Certificate", "accepted for " + EndpointKey(certificate.host, certificate.port));
    SaveSettings();
    StoreWithServersInUse(reach_);
    session_->TryAgain();
}
