#include "dialogs/krvClientAAbout.hpp"

#include <QDesktopServices>
#include <QFont>
#include <QLabel>
#include <QUrl>

#include "dialogs/AboutPictures.hpp"
#include "dialogs/ClickablePicture.hpp"

namespace {

void OpenWithDesktop(const QString& address) {
    // The result is not looked at: without a handler nothing happens and the box stays open.
    QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

ClickablePicture* AddPicture(QWidget* parent, const char* name, const QPixmap& picture, int left) {
    auto* image = new ClickablePicture(parent);
    image->setObjectName(name);
    image->setPixmap(picture);
    image->setGeometry(left, 0, 16, 16);
    return image;
}

}  // namespace

TfrmkrvClientAAbout::TfrmkrvClientAAbout(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      opener_(OpenWithDesktop) {
    setObjectName("frmkrvClientAAbout");
    setFixedSize(321, 90);
    QFont font = this->font();
    font.setPointSize(8);
    setFont(font);

    imHouse = AddPicture(this, "imHouse", HousePicture(), 0);
    connect(imHouse, &ClickablePicture::clicked, this, &TfrmkrvClientAAbout::imHouseClick);
    imEmail = AddPicture(this, "imEmail", EnvelopePicture(), 16);
    connect(imEmail, &ClickablePicture::clicked, this, &TfrmkrvClientAAbout::imEmailClick);

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setGeometry(0, 23, 321, 67);
}

void TfrmkrvClientAAbout::Fill() {
    setWindowTitle(kAboutTitle);
    Label1->setText(QString(kAboutTitle) + "\n\n" + kAboutNotice + "\n");
    imHouse->setToolTip(kAuthorWebPage);
    imEmail->setToolTip(kAuthorMail);
    // What the pictures open, for those who cannot see them.
    imHouse->setAccessibleName(QStringLiteral("Web page"));
    imHouse->setAccessibleDescription(kAuthorWebPage);
    imEmail->setAccessibleName(QStringLiteral("Write a mail"));
    imEmail->setAccessibleDescription(kAuthorMail);
}

QString TfrmkrvClientAAbout::MailAddressText() const {
    return "mailto:" + imEmail->toolTip() + "?Subject=korvane Administration client mail&body=Hi " +
           kAuthorShortName + "!%0D%0A%0D%0A";
}

void TfrmkrvClientAAbout::imHouseClick() {
    opener_(imHouse->toolTip());
}

void TfrmkrvClientAAbout::imEmailClick() {
    opener_(MailAddressText());
}
