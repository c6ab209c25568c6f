#include "dialogs/krvClient_Server.hpp"

#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/FieldLook.hpp"

namespace {

QFont Arial(int points, bool bold = false) {
    QFont font("Arial", points);
    font.setBold(bold);
    return font;
}

}  // namespace

TfrmKrvClient_Server::TfrmKrvClient_Server(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("frmKrvClient_Server");
    setFixedSize(255, 344);
    setFont(Arial(8));

    lbHead = AddLabel("lbHead", {}, 7, 8);
    lbHead->setFont(Arial(10, true));
    lbHead->setAlignment(Qt::AlignCenter);
    lbHead->setFixedSize(241, 20);
    lbText = AddLabel("lbText", {}, 8, 32);
    lbText->setWordWrap(true);
    lbText->setFixedSize(241, 25);

    AddLabel("Label1", "Host:", 8, 67);
    edHost = AddField("edHost", 112, 64, 121, 21);
    AddLabel("Label2", "Port:", 8, 91);
    edPort = AddField("edPort", 112, 88, 121, 21);
    AddLabel("Label3", "Login:", 8, 115);
    edLogin = AddField("edLogin", 112, 112, 121, 21);
    AddLabel("Label4", "Password:", 8, 139);
    edPassword = AddField("edPassword", 112, 136, 121, 21);
    MaskWithStars(*edPassword);
    AddLabel("Label8", "Auto-reconnect delay (seconds):", 8, 187);
    edDelay = AddField("edDelay", 184, 184, 49, 17);
    AddLabel("Label10", "Reconnect attempts before pause:", 8, 203);
    edAttempts = AddField("edAttempts", 184, 200, 49, 17);
    AddLabel("Label11", "Pause reconnect for (seconds):", 8, 219);
    edPause = AddField("edPause", 184, 216, 49, 17);
    AddLabel("Label12", "Reconnect cycles (-1 non-stop)", 8, 235);
    edCycles = AddField("edCycles", 184, 232, 49, 17);

    cbAutoReconnectOn = new QCheckBox("Enable auto-reconnect", this);
    cbAutoReconnectOn->setObjectName("cbAutoReconnectOn");
    cbAutoReconnectOn->setGeometry(8, 264, 169, 17);

    Button1 = new QPushButton("accept", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(48, 296, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TfrmKrvClient_Server::Button1Click);
    Button2 = new QPushButton("cancel", this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(136, 296, 75, 25);
    connect(Button2, &QPushButton::clicked, this, &TfrmKrvClient_Server::Button2Click);

    SetTabChain({edHost, edPort, edLogin, edPassword, edDelay, edAttempts, edPause, edCycles,
                 cbAutoReconnectOn, Button1, Button2});
    edHost->setFocus();
}

QLabel* TfrmKrvClient_Server::AddLabel(const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLineEdit* TfrmKrvClient_Server::AddField(const char* name, int left, int top, int width, int height) {
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    field->setGeometry(left, top, width, height);
    return field;
}

void TfrmKrvClient_Server::Button1Click() {
    accept();
}

void TfrmKrvClient_Server::Button2Click() {
    reject();
}
