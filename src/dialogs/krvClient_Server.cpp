#include "dialogs/krvClient_Server.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/DialogControls.hpp"
#include "dialogs/FieldLook.hpp"

TfrmKrvClient_Server::TfrmKrvClient_Server(QWidget* parent) : QDialog(parent, FixedDialogFlags()) {
    setObjectName("frmKrvClient_Server");
    setFixedSize(255, 344);
    setFont(ArialPoints(8));

    lbHead = AddCaption(*this, "lbHead", {}, QPoint(7, 8));
    lbHead->setFont(ArialPoints(10, true));
    lbHead->setAlignment(Qt::AlignCenter);
    lbHead->setFixedSize(241, 20);
    lbText = AddCaption(*this, "lbText", {}, QPoint(8, 32));
    lbText->setWordWrap(true);
    lbText->setFixedSize(241, 25);

    edHost = AddField(*this, "edHost", QRect(112, 64, 121, 21),
                      AddCaption(*this, "Label1", "Host:", QPoint(8, 67)));
    edPort = AddField(*this, "edPort", QRect(112, 88, 121, 21),
                      AddCaption(*this, "Label2", "Port:", QPoint(8, 91)));
    edLogin = AddField(*this, "edLogin", QRect(112, 112, 121, 21),
                       AddCaption(*this, "Label3", "Login:", QPoint(8, 115)));
    edPassword = AddField(*this, "edPassword", QRect(112, 136, 121, 21),
                          AddCaption(*this, "Label4", "Password:", QPoint(8, 139)));
    MaskWithStars(*edPassword);
    edDelay = AddField(*this, "edDelay", QRect(184, 184, 49, 17),
                       AddCaption(*this, "Label8", "Auto-reconnect delay (seconds):", QPoint(8, 187)));
    edAttempts = AddField(*this, "edAttempts", QRect(184, 200, 49, 17),
                          AddCaption(*this, "Label10", "Reconnect attempts before pause:", QPoint(8, 203)));
    edPause = AddField(*this, "edPause", QRect(184, 216, 49, 17),
                       AddCaption(*this, "Label11", "Pause reconnect for (seconds):", QPoint(8, 219)));
    edCycles = AddField(*this, "edCycles", QRect(184, 232, 49, 17),
                        AddCaption(*this, "Label12", "Reconnect cycles (-1 non-stop)", QPoint(8, 235)));

    cbAutoReconnectOn = new QCheckBox("Enable auto-reconnect", this);
    cbAutoReconnectOn->setObjectName("cbAutoReconnectOn");
    cbAutoReconnectOn->setGeometry(8, 264, 169, 17);

    Button1 = AddButton(*this, "Button1", "accept", QRect(48, 296, 75, 25));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TfrmKrvClient_Server::Button1Click);
    Button2 = AddButton(*this, "Button2", "cancel", QRect(136, 296, 75, 25));
    connect(Button2, &QPushButton::clicked, this, &TfrmKrvClient_Server::Button2Click);

    SetTabChain({edHost, edPort, edLogin, edPassword, edDelay, edAttempts, edPause, edCycles,
                 cbAutoReconnectOn, Button1, Button2});
    edHost->setFocus();
}

void TfrmKrvClient_Server::Button1Click() {
    accept();
}

void TfrmKrvClient_Server::Button2Click() {
    reject();
}
