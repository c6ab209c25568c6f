#include "dialogs/krvServer_Client.hpp"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/DialogControls.hpp"
#include "dialogs/FieldLook.hpp"

namespace {

// The four fields share one column and width.
QRect FieldPlace(int top) {
    return QRect(88, top, 185, 21);
}

}  // namespace

TfrmServer_Client::TfrmServer_Client(QWidget* parent) : QDialog(parent, FixedDialogFlags()) {
    setObjectName("frmServer_Client");
    setFixedSize(293, 194);
    setFont(ArialPixels(11));

    edLogin = AddField(*this, "edLogin", FieldPlace(56),
                       AddCaption(*this, "Label3", "Login:", QRect(16, 59, 29, 14)));
    edPassword = AddField(*this, "edPassword", FieldPlace(80),
                          AddCaption(*this, "Label4", "Password:", QRect(16, 83, 53, 14)));
    MaskWithStars(*edPassword);
    edProtocols = AddField(*this, "edProtocols", FieldPlace(104),
                           AddCaption(*this, "Label5", "Protocols:", QRect(16, 107, 48, 14)));
    edUserBots = AddField(*this, "edUserBots", FieldPlace(128),
                          AddCaption(*this, "Label9", "User Bots:", QRect(16, 131, 51, 14)));

    Button1 = AddButton(*this, "Button1", "accept", QRect(64, 160, 75, 25));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TfrmServer_Client::Button1Click);
    Button2 = AddButton(*this, "Button2", "cancel", QRect(160, 160, 75, 25));
    connect(Button2, &QPushButton::clicked, this, &TfrmServer_Client::Button2Click);

    lbText = AddCaption(*this, "lbText", {}, QRect(8, 32, 281, 25));
    lbText->setWordWrap(true);
    Label1 = AddCaption(*this, "Label1", "Server", QRect(8, 8, 273, 25));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(ArialPixels(16, true));

    SetTabChain({edLogin, edPassword, edProtocols, edUserBots, Button1, Button2});
    edLogin->setFocus();
}

void TfrmServer_Client::Button1Click() {
    accept();
}

void TfrmServer_Client::Button2Click() {
    reject();
}
