#include "window/untKrvClientA.hpp"

#include <exception>
#include <memory>
#include <string>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QString>

#include "dialogs/FieldLook.hpp"
#include "dialogs/FormPlacement.hpp"
#include "dialogs/MessageBoxes.hpp"
#include "dialogs/krvClient_Server.hpp"
#include "util/untCalc1.hpp"
#include "window/DisplayText.hpp"

namespace {

// What the administrator entered, before it is tested.
struct ConnectEntries {
    std::string host;
    int32_t port = 0;
    std::string login;
    std::string password;
    bool autoReconnect = true;
    int32_t delay = -1;
    int32_t attempts = -1;
    int32_t pause = -1;
    int32_t cycles = -2;

    bool Acceptable() const {
        return !host.empty() && port > 0 && !login.empty() && delay >= 0 && attempts >= 0 && pause >= 0 &&
               cycles >= -1;
    }
    ReconnectSchedule Schedule() const { return {autoReconnect, delay, attempts, pause, cycles}; }
};

// The texts the link's data was shown with, so that an unchanged field gives back its bytes.
struct FilledConnectFields {
    FilledText host;
    FilledText login;
    FilledText password;
};

QString Decimal(int32_t value) {
    return QString::number(value);
}

std::string TrimmedField(const QLineEdit& field, const FilledText& filled) {
    return Trim(filled.BytesFor(field.text()));
}

int32_t NumberField(const QLineEdit& field, int32_t defaultValue) {
    return StrToIntDef(Trim(DisplayToBytes(field.text())), defaultValue);
}

FilledConnectFields FillFromSession(TfrmKrvClient_Server& dialog, const ServerSession& session) {
    const TkvClient& link = session.Link();
    const ReconnectSchedule schedule = session.Schedule();
    FilledConnectFields filled{FilledText(link.Host()), FilledText(link.Login()),
                               FilledText(link.Password())};
    dialog.setWindowTitle("Connect Client");
    dialog.lbHead->setText("Korvane Administration Client");
    dialog.lbText->setText("Enter data of remote server:");
    dialog.edHost->setText(filled.host.Shown());
    dialog.edPort->setText(Decimal(link.Port()));
    dialog.edLogin->setText(filled.login.Shown());
    dialog.edPassword->setText(filled.password.Shown());
    dialog.edDelay->setText(Decimal(schedule.delay));
    dialog.edAttempts->setText(Decimal(schedule.attempts));
    dialog.edPause->setText(Decimal(schedule.pause));
    dialog.edCycles->setText(Decimal(schedule.cycles));
    dialog.cbAutoReconnectOn->setChecked(schedule.on);
    for (QLineEdit* field : {dialog.edHost, dialog.edPort, dialog.edLogin, dialog.edPassword, dialog.edDelay,
                             dialog.edAttempts, dialog.edPause, dialog.edCycles}) {
        SetFieldOpen(*field, true);
        field->setEnabled(true);
    }
    dialog.cbAutoReconnectOn->setEnabled(true);
    return filled;
}

ConnectEntries ReadEntries(const TfrmKrvClient_Server& dialog, const FilledConnectFields& filled) {
    ConnectEntries entries;
    entries.host = TrimmedField(*dialog.edHost, filled.host);
    entries.port = NumberField(*dialog.edPort, 0);
    entries.login = TrimmedField(*dialog.edLogin, filled.login);
    entries.password = TrimmedField(*dialog.edPassword, filled.password);
    entries.autoReconnect = dialog.cbAutoReconnectOn->isChecked();
    entries.delay = NumberField(*dialog.edDelay, -1);
    entries.attempts = NumberField(*dialog.edAttempts, -1);
    entries.pause = NumberField(*dialog.edPause, -1);
    entries.cycles = NumberField(*dialog.edCycles, -2);
    return entries;
}

}  // namespace

bool TfrmKrvClientA::RunConnectDialog() {
    if (!session_) {
        return false;
    }
    // Owned here, so it is gone on every way out, an error included.
    auto dialog = std::make_unique<TfrmKrvClient_Server>(this);
    CenterFormOver(*dialog, *this);
    const FilledConnectFields filled = FillFromSession(*dialog, *session_);
    // A password not to be remembered is asked at every connect.
    if (!policy_.remember) {
        dialog->edPassword->clear();
    }
    if (dialog->exec() != QDialog::Accepted) {
        return false;
    }
    const ConnectEntries entries = ReadEntries(*dialog, filled);
    if (!entries.Acceptable()) {
        ShowPlainMessage(this, "Cannot open the Client, please check your data!");
        return false;
    }
    try {
        session_->ApplySchedule(entries.Schedule());
        cbAutoReconnect_->setChecked(entries.autoReconnect);
        session_->SetCredentials(entries.login, entries.password);
        NameServerInJournal(entries.login, entries.host, entries.port);
        session_->Connect(entries.host, entries.port);
        recentToKeep_.push_back({entries.login, entries.host, entries.port});
        if (KeyringWanted()) {
            KeepPasswordInKeyring(entries.password);
        }
    } catch (const std::exception& error) {
        ShowPlainMessage(this, "Error: " + BytesToDisplay(error.what()));
        return false;
    }
    return true;
}
