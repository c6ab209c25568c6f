#include "dialogs/krvServer_Client.hpp"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/FieldLook.hpp"

namespace {

QFont ArialPixels(int pixels, bool bold = false) {
    QFont font("Arial");
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

}  // namespace

TfrmServer_Client::TfrmServer_Client(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("frmServer_Client");
    setFixedSize(293, 194);
    setFont(ArialPixels(11));

    AddLabel("Label3", "Login:", 16, 59, 29, 14);
    edLogin = AddField("edLogin", 56);
    AddLabel("Label4", "Password:", 16, 83, 53, 14);
    edPassword = AddField("edPassword", 80);
    MaskWithStars(*edPassword);
    AddLabel("Label5", "Protocols:", 16, 107, 48, 14);
    edProtocols = AddField("edProtocols", 104);
    AddLabel("Label9", "User Bots:", 16, 131, 51, 14);
    edUserBots = AddField("edUserBots", 128);

    Button1 = new QPushButton("accept", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(64, 160, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TfrmServer_Client::Button1Click);
    Button2 = new QPushButton("cancel", this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(160, 160, 75, 25);
    connect(Button2, &QPushButton::clicked, this, &TfrmServer_Client::Button2Click);

    lbText = AddLabel("lbText", {}, 8, 32, 281, 25);
    lbText->setWordWrap(true);
    Label1 = AddLabel("Label1", "Server", 8, 8, 273, 25);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(ArialPixels(16, true));

    SetTabChain({edLogin, edPassword, edProtocols, edUserBots, Button1, Button2});
    edLogin->setFocus();
}

QLabel* TfrmServer_Client::AddLabel(const char* name, const QString& text, int left, int top, int width,
                                    int height) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(left, top, width, height);
    return label;
}

QLineEdit* TfrmServer_Client::AddField(const char* name, int top) {
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    field->setGeometry(88, top, 185, 21);
    return field;
}

void TfrmServer_Client::Button1Click() {
    accept();
}

void TfrmServer_Client::Button2Click() {
    reject();
}
