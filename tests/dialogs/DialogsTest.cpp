#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include "dialogs/AboutPictures.hpp"
#include "dialogs/ClickablePicture.hpp"
#include "dialogs/FieldLook.hpp"
#include "dialogs/FormPlacement.hpp"
#include "dialogs/krvClientAAbout.hpp"
#include "dialogs/krvClient_Server.hpp"
#include "dialogs/krvServer_Client.hpp"
#include "support/ModalResponder.hpp"
#include "window/WindowHarness.hpp"

// The three dialogs as the user meets them: layout, keyboard, looks, the About box's links.
class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void connectionDialogLayoutAndKeyboardOrder();
    void accountDialogLayoutAndKeyboardOrder();
    void enterAcceptsAndEscapeCancelsFromAnyField_data();
    void enterAcceptsAndEscapeCancelsFromAnyField();
    void enterOnAFocusedButtonPressesThatButton();
    void passwordsAreShownAsStars();
    void openFieldsReadInADarkPalette();
    void placementStaysOnTheScreen_data();
    void placementStaysOnTheScreen();
    void aboutBoxIsFilledAndCentredAtEachShowing();
    void aboutPicturesOpenTheWebPageAndANewMail();
    void aboutPicturesAreDrawnOnATransparentGround();
    void exitClosesTheWindowLikeItsCloseBox();
};

namespace {

QStringList TabChain(QWidget* first, int steps) {
    QStringList names;
    QWidget* widget = first;
    for (int i = 0; i < steps; ++i) {
        names << widget->objectName();
        widget = widget->nextInFocusChain();
        while (widget->focusPolicy() == Qt::NoFocus || !widget->isEnabled()) {
            widget = widget->nextInFocusChain();
        }
    }
    return names;
}

}  // namespace

void DialogsTest::cleanup() {
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void DialogsTest::connectionDialogLayoutAndKeyboardOrder() {
    TfrmKrvClient_Server dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("frmKrvClient_Server"));
    QCOMPARE(dialog.size(), QSize(255, 344));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.edHost->geometry(), QRect(112, 64, 121, 21));
    QCOMPARE(dialog.edCycles->geometry(), QRect(184, 232, 49, 17));
    QCOMPARE(dialog.cbAutoReconnectOn->geometry(), QRect(8, 264, 169, 17));
    QCOMPARE(dialog.cbAutoReconnectOn->text(), QStringLiteral("Enable auto-reconnect"));
    QCOMPARE(dialog.Button1->geometry(), QRect(48, 296, 75, 25));
    QCOMPARE(dialog.Button2->geometry(), QRect(136, 296, 75, 25));
    QCOMPARE(dialog.Button1->text(), QStringLiteral("accept"));
    QCOMPARE(dialog.Button2->text(), QStringLiteral("cancel"));
    QVERIFY(dialog.Button1->isDefault());
    QVERIFY(dialog.lbHead->font().bold());
    QCOMPARE(dialog.lbHead->font().pointSize(), 10);
    QCOMPARE(dialog.findChild<QLabel*>("Label12")->text(), QStringLiteral("Reconnect cycles (-1 non-stop)"));
    QCOMPARE(TabChain(dialog.edHost, 11),
             (QStringList{"edHost", "edPort", "edLogin", "edPassword", "edDelay", "edAttempts", "edPause",
                          "edCycles", "cbAutoReconnectOn", "Button1", "Button2"}));
}

void DialogsTest::accountDialogLayoutAndKeyboardOrder() {
    TfrmServer_Client dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("frmServer_Client"));
    QCOMPARE(dialog.size(), QSize(293, 194));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.Label1->text(), QStringLiteral("Server"));
    QCOMPARE(dialog.Label1->geometry(), QRect(8, 8, 273, 25));
    QVERIFY(dialog.Label1->font().bold());
    QCOMPARE(dialog.Label1->font().pixelSize(), 16);
    QCOMPARE(dialog.edLogin->font().pixelSize(), 11);
    QCOMPARE(dialog.lbText->geometry(), QRect(8, 32, 281, 25));
    QCOMPARE(dialog.edUserBots->geometry(), QRect(88, 128, 185, 21));
    QCOMPARE(dialog.Button1->geometry(), QRect(64, 160, 75, 25));
    QCOMPARE(dialog.Button2->geometry(), QRect(160, 160, 75, 25));
    QCOMPARE(dialog.findChild<QLabel*>("Label9")->text(), QStringLiteral("User Bots:"));
    QCOMPARE(TabChain(dialog.edLogin, 6),
             (QStringList{"edLogin", "edPassword", "edProtocols", "edUserBots", "Button1", "Button2"}));
}

void DialogsTest::enterAcceptsAndEscapeCancelsFromAnyField_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("open");
    for (const char* field : {"edLogin", "edPassword", "edProtocols", "edUserBots"}) {
        QTest::addRow("%s open", field) << field << true;
        QTest::addRow("%s locked", field) << field << false;
    }
}

void DialogsTest::enterAcceptsAndEscapeCancelsFromAnyField() {
    QFETCH(QString, field);
    QFETCH(bool, open);
    for (auto [key, result] :
         {std::pair(Qt::Key_Return, QDialog::Accepted), std::pair(Qt::Key_Escape, QDialog::Rejected)}) {
        TfrmServer_Client dialog;
        auto* edit = dialog.findChild<QLineEdit*>(field);
        SetFieldOpen(*edit, open);
        auto answer = AnswerDialog<TfrmServer_Client>([edit, key = key](TfrmServer_Client*) {
            edit->setFocus();
            QTest::keyClick(edit, key);
        });
        QCOMPARE(dialog.exec(), int(result));
        QVERIFY(answer->Answered());
    }
}

// A dark desktop palette gives light text; on the open fields' white it would vanish.
void DialogsTest::openFieldsReadInADarkPalette() {
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    QApplication::setPalette(dark);
    TfrmServer_Client account;
    TfrmKrvClient_Server connection;
    for (QLineEdit* field : {account.edLogin, account.edProtocols, connection.edHost, connection.edPort}) {
        field->setText(QStringLiteral("WWWWWWWW"));
        SetFieldOpen(*field, true);
        QCOMPARE(field->palette().color(QPalette::Base), QColor(255, 255, 255));
        QCOMPARE(field->palette().color(QPalette::Text), QColor(0, 0, 0));
        QVERIFY(FieldIsOpen(*field));
        // What is drawn inside the frame: some text pixels are dark on the white ground.
        const QImage shot = field->grab(field->rect().adjusted(3, 3, -3, -3)).toImage();
        int darkest = 255;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                darkest = std::min(darkest, qGray(shot.pixel(x, y)));
            }
        }
        QVERIFY2(darkest < 80, qPrintable(QString::number(darkest)));
        SetFieldOpen(*field, false);
        QCOMPARE(field->palette().color(QPalette::Base), QColor(128, 128, 128));
        QCOMPARE(field->palette().color(QPalette::Text), QColor(230, 230, 230));
        QVERIFY(!FieldIsOpen(*field));
    }
    QApplication::setPalette(original);
}

namespace {

// Enter with the focus on a button presses that button, not the default one: tabbing to
// "cancel" and pressing Enter must not accept (in the account dialog, confirm a deletion).
template <typename Dialog>
void ExpectEnterOnButtonGives(QPushButton* Dialog::*button, QDialog::DialogCode expected) {
    Dialog dialog;
    QPushButton* focused = dialog.*button;
    auto answer = AnswerDialog<Dialog>([focused](Dialog*) {
        focused->setFocus();
        QTest::keyClick(focused, Qt::Key_Return);
    });
    QCOMPARE(dialog.exec(), int(expected));
    QVERIFY(answer->Answered());
}

}  // namespace

void DialogsTest::enterOnAFocusedButtonPressesThatButton() {
    ExpectEnterOnButtonGives(&TfrmKrvClient_Server::Button2, QDialog::Rejected);
    ExpectEnterOnButtonGives(&TfrmKrvClient_Server::Button1, QDialog::Accepted);
    ExpectEnterOnButtonGives(&TfrmServer_Client::Button2, QDialog::Rejected);
    ExpectEnterOnButtonGives(&TfrmServer_Client::Button1, QDialog::Accepted);

    // Once the focus has left "cancel", Enter in a field accepts again.
    TfrmServer_Client dialog;
    auto answer = AnswerDialog<TfrmServer_Client>([](TfrmServer_Client* shown) {
        shown->Button2->setFocus();
        shown->edPassword->setFocus();
        QTest::keyClick(shown->edPassword, Qt::Key_Return);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(answer->Answered());
}

void DialogsTest::passwordsAreShownAsStars() {
    TfrmServer_Client account;
    TfrmKrvClient_Server connection;
    for (QLineEdit* field : {account.edPassword, connection.edPassword}) {
        QCOMPARE(field->echoMode(), QLineEdit::Password);
        QCOMPARE(field->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, field), int('*'));
    }
    // Only the password is masked.
    QCOMPARE(
        account.edLogin->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, account.edLogin),
        QApplication::style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, nullptr));
}

void DialogsTest::placementStaysOnTheScreen_data() {
    const QSize screen = QGuiApplication::primaryScreen()->size();
    QTest::addColumn<QPoint>("over");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("centred") << QPoint(200, 150) << QPoint(200 + (400 - 293) / 2, 150 + (300 - 194) / 2);
    QTest::newRow("near the far corner") << QPoint(screen.width() - 10, screen.height() - 10)
                                         << QPoint(screen.width() - 50, screen.height() - 50);
    QTest::newRow("before the origin") << QPoint(-300, -300) << QPoint(0, 0);
}

void DialogsTest::placementStaysOnTheScreen() {
    QFETCH(QPoint, over);
    QFETCH(QPoint, expected);
    QWidget window;
    window.setGeometry(QRect(over, QSize(400, 300)));
    TfrmServer_Client dialog;
    CenterFormOver(dialog, window);
    QCOMPARE(dialog.pos(), expected);
    QCOMPARE(dialog.size(), QSize(293, 194));
}

void DialogsTest::aboutBoxIsFilledAndCentredAtEachShowing() {
    WindowHarness harness;
    auto* about = harness.Window().findChild<TfrmkrvClientAAbout*>("frmkrvClientAAbout");
    QVERIFY(about != nullptr);
    QVERIFY(!about->isVisible());
    for (QPoint place : {QPoint(10, 20), QPoint(300, 200)}) {
        harness.Window().move(place);
        const QRect window = harness.Window().frameGeometry();
        auto answer = AnswerDialog<TfrmkrvClientAAbout>([window](TfrmkrvClientAAbout* box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("Korvane Administrator Client 1.3"));
            QCOMPARE(box->Label1->text(),
                     QStringLiteral("Korvane Administrator Client 1.3\n\n%1\n").arg(kAboutNotice));
            QCOMPARE(box->imHouse->toolTip(), QString(kAuthorWebPage));
            QCOMPARE(box->imEmail->toolTip(), QString(kAuthorMail));
            QVERIFY(QString(kAuthorWebPage).contains("example.org"));
            QCOMPARE(box->size(), QSize(321, 90));
            QCOMPARE(box->imHouse->geometry(), QRect(0, 0, 16, 16));
            QCOMPARE(box->imEmail->geometry(), QRect(16, 0, 16, 16));
            QCOMPARE(box->Label1->geometry(), QRect(0, 23, 321, 67));
            QVERIFY(QString(kAboutNotice).startsWith("MIT licence"));
            QVERIFY(box->Label1->fontMetrics().horizontalAdvance(kAboutNotice) <= box->Label1->width());
            QCOMPARE(box->imEmail->cursor().shape(), Qt::PointingHandCursor);
            QCOMPARE(box->pos().x(), window.left() + (window.width() - 321) / 2);
            box->close();
        });
        harness.Window().findChild<QAction*>("mnuHelpAbout")->trigger();
        QVERIFY(answer->Answered());
        QVERIFY(!about->isVisible());
    }
}

void DialogsTest::aboutPicturesOpenTheWebPageAndANewMail() {
    TfrmkrvClientAAbout about;
    QStringList opened;
    about.SetAddressOpener([&opened](const QString& address) { opened << address; });
    about.Fill();
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(about.imHouse, Qt::LeftButton);
    QCOMPARE(opened, QStringList{kAuthorWebPage});
    QTest::mouseClick(about.imEmail, Qt::LeftButton);
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.last(), QStringLiteral("mailto:author@example.org?Subject=korvane Administration client "
                                           "mail&body=Hi Author!%0D%0A%0D%0A"));
    // A click on the label opens nothing.
    QTest::mouseClick(about.Label1, Qt::LeftButton);
    QCOMPARE(opened.size(), 2);
}

void DialogsTest::aboutPicturesAreDrawnOnATransparentGround() {
    const QImage house = HousePicture().toImage();
    const QImage envelope = EnvelopePicture().toImage();
    QCOMPARE(house.size(), QSize(16, 16));
    QCOMPARE(envelope.size(), QSize(16, 16));
    QCOMPARE(qAlpha(house.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(envelope.pixel(0, 15)), 0);
    QCOMPARE(house.pixelColor(8, 4), QColor(255, 128, 192));   // roof
    QCOMPARE(house.pixelColor(8, 12), QColor(64, 40, 24));     // doorway
    QCOMPARE(house.pixelColor(4, 12), QColor(250, 240, 220));  // wall
    QCOMPARE(envelope.pixelColor(1, 3), QColor(0, 128, 0));    // edge
    QCOMPARE(envelope.pixelColor(3, 10), QColor(Qt::white));   // paper
}

void DialogsTest::exitClosesTheWindowLikeItsCloseBox() {
    WindowHarness harness;
    harness.SetLogin("leaving");
    harness.Window().findChild<QAction*>("mnuExit")->trigger();
    QVERIFY(!harness.Window().isVisible());
    QFile file(harness.Window().IniFileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("\nLogin=leaving\n"));
}

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
