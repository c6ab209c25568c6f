#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "dialogs/FieldLook.hpp"
#include "dialogs/krvClient_Server.hpp"
#include "support/ModalResponder.hpp"
#include "util/untCalc1.hpp"
#include "window/WindowHarness.hpp"

// The connect flow: the dialog filled from the link, the entries tested, applied and connected.
class ConnectFlowTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void dialogShowsTheLinkAsItIsNow();
    void entriesAreTestedBeforeAnythingIsApplied_data();
    void entriesAreTestedBeforeAnythingIsApplied();
    void acceptedEntriesAreAppliedAndAnAttemptStarts();
    void unchangedDataStartsANewAttemptWithTheSameData();
    void unchangedFieldsGiveBackTheirExactBytes_data();
    void unchangedFieldsGiveBackTheirExactBytes();
    void endingWithoutAcceptChangesNothing_data();
    void endingWithoutAcceptChangesNothing();
    void connectButtonRunsTheFlow();

private:
    struct Entries {
        QString host, port, login, password, delay, attempts, pause, cycles;
        bool autoReconnect = true;
    };
    static Entries Valid() { return {"192.0.2.7", "5000", "admin", "pw", "10", "6", "60", "-1", true}; }
    static void Enter(TfrmKrvClient_Server* dialog, const Entries& entries);
    // Runs the flow, accepting with the entries; the text of a message box shown, if any.
    static bool RunAccepting(WindowHarness& harness, const Entries& entries, QString& message);
};

void ConnectFlowTest::cleanup() {
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void ConnectFlowTest::Enter(TfrmKrvClient_Server* dialog, const Entries& entries) {
    dialog->edHost->setText(entries.host);
    dialog->edPort->setText(entries.port);
    dialog->edLogin->setText(entries.login);
    dialog->edPassword->setText(entries.password);
    dialog->edDelay->setText(entries.delay);
    dialog->edAttempts->setText(entries.attempts);
    dialog->edPause->setText(entries.pause);
    dialog->edCycles->setText(entries.cycles);
    dialog->cbAutoReconnectOn->setChecked(entries.autoReconnect);
}

bool ConnectFlowTest::RunAccepting(WindowHarness& harness, const Entries& entries, QString& message) {
    auto answer = AnswerDialog<TfrmKrvClient_Server>([entries](TfrmKrvClient_Server* dialog) {
        Enter(dialog, entries);
        QTest::keyClick(dialog->edCycles, Qt::Key_Return);
    });
    SeenBox seen;
    auto box = AnswerMessageBox(seen);
    const bool result = harness.Window().RunConnectDialog();
    message = box->Answered() ? seen.text : QString();
    [&] { QVERIFY(answer->Answered()); }();
    return result;
}

void ConnectFlowTest::dialogShowsTheLinkAsItIsNow() {
    WindowHarness harness;
    harness.Session().SetServer("  server.example.org ", 6670);
    harness.Session().SetCredentials(harness.Link().Login(), "secret");
    harness.Session().ApplySchedule({false, 3, 4, 5, 7});
    auto answer = AnswerDialog<TfrmKrvClient_Server>([&harness](TfrmKrvClient_Server* dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Connect Client"));
        QCOMPARE(dialog->lbHead->text(), QStringLiteral("Korvane Administration Client"));
        QCOMPARE(dialog->lbText->text(), QStringLiteral("Enter data of remote server:"));
        const QStringList expected{"server.example.org", "6670", "admin", "secret", "3", "4", "5", "7"};
        const QList<QLineEdit*> fields{dialog->edHost,     dialog->edPort,  dialog->edLogin,
                                       dialog->edPassword, dialog->edDelay, dialog->edAttempts,
                                       dialog->edPause,    dialog->edCycles};
        for (int i = 0; i < fields.size(); ++i) {
            QCOMPARE(fields[i]->text(), expected[i]);
            QVERIFY(FieldIsOpen(*fields[i]));
            QVERIFY(fields[i]->isEnabled());
        }
        QCOMPARE(dialog->edPassword->echoMode(), QLineEdit::Password);
        QVERIFY(!dialog->cbAutoReconnectOn->isChecked());
        QVERIFY(dialog->cbAutoReconnectOn->isEnabled());
        QVERIFY(dialog->isModal());
        // Centred over the main window and kept on the screen.
        const QRect window = harness.Window().frameGeometry();
        const QSize screen = QGuiApplication::primaryScreen()->size();
        const ScreenPoint place = CenterFormOver({0, 0, dialog->width(), dialog->height()},
                                                 {window.x(), window.y(), window.width(), window.height()},
                                                 screen.width(), screen.height());
        QCOMPARE(dialog->pos(), QPoint(place.left, place.top));
        dialog->reject();
    });
    QVERIFY(!harness.Window().RunConnectDialog());
    QVERIFY(answer->Answered());
}

void ConnectFlowTest::entriesAreTestedBeforeAnythingIsApplied_data() {
    QTest::addColumn<int>("field");  // index in host, port, login, password, delay, attempts, pause, cycles
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("expectedPort");
    QTest::newRow("empty host") << 0 << "" << false << 0;
    QTest::newRow("blank host") << 0 << "   " << false << 0;
    QTest::newRow("port 0") << 1 << "0" << false << 0;
    QTest::newRow("empty port") << 1 << "" << false << 0;
    QTest::newRow("non-numeric port") << 1 << "http" << false << 0;
    QTest::newRow("negative port") << 1 << "-80" << false << 0;
    QTest::newRow("empty login") << 2 << "" << false << 0;
    QTest::newRow("empty delay") << 4 << "" << false << 0;
    QTest::newRow("empty attempts") << 5 << "" << false << 0;
    QTest::newRow("empty pause") << 6 << "" << false << 0;
    QTest::newRow("negative pause") << 6 << "-1" << false << 0;
    QTest::newRow("empty cycles") << 7 << "" << false << 0;
    QTest::newRow("cycles -2") << 7 << "-2" << false << 0;
    QTest::newRow("cycles -1") << 7 << "-1" << true << 5000;
    QTest::newRow("port above 65535") << 1 << "70000" << true << 70000;
    QTest::newRow("port 0x50") << 1 << "0x50" << true << 80;
    QTest::newRow("port $50") << 1 << "$50" << true << 80;
    QTest::newRow("port with blanks") << 1 << "  81  " << true << 81;
    QTest::newRow("empty password") << 3 << "" << true << 5000;
    QTest::newRow("blank password") << 3 << "   " << true << 5000;
}

void ConnectFlowTest::entriesAreTestedBeforeAnythingIsApplied() {
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, expectedPort);
    WindowHarness harness;
    harness.Session().SetCredentials(harness.Link().Login(), "old");
    Entries entries = Valid();
    QString* texts[] = {&entries.host,  &entries.port,     &entries.login, &entries.password,
                        &entries.delay, &entries.attempts, &entries.pause, &entries.cycles};
    *texts[field] = text;
    entries.delay = field == 4 ? entries.delay : "  11 ";
    entries.autoReconnect = false;

    QString message;
    QCOMPARE(RunAccepting(harness, entries, message), accepted);
    QVERIFY(harness.Window().findChild<TfrmKrvClient_Server*>() == nullptr);
    const TkvClient& link = harness.Link();
    if (!accepted) {
        QCOMPARE(message, QStringLiteral("Cannot open the Client, please check your data!"));
        QVERIFY(harness.Socket().Opens().empty());
        QCOMPARE(link.Password(), std::string("old"));
        QVERIFY(link.AutoReconnect());
        QCOMPARE(link.ReconnectDelay(), 10);
        return;
    }
    QVERIFY(message.isEmpty());
    QCOMPARE(harness.Socket().Opens().size(), size_t(1));
    QCOMPARE(link.Port(), expectedPort);
    QCOMPARE(link.Host(), std::string("192.0.2.7"));
    QCOMPARE(link.Password(), field == 3 ? std::string() : std::string("pw"));
    QCOMPARE(link.ReconnectDelay(), field == 4 ? 10 : 11);
}

void ConnectFlowTest::acceptedEntriesAreAppliedAndAnAttemptStarts() {
    WindowHarness harness;
    auto* box = harness.Window().findChild<QCheckBox*>("cbAutoReconnect");
    QVERIFY(box->isChecked());
    Entries entries{" server.example.org ", "6000", " root ", " pa ss ", "1", "2", "3", "4", false};
    QString message;
    QVERIFY(RunAccepting(harness, entries, message));
    QVERIFY(message.isEmpty());
    const TkvClient& link = harness.Link();
    QCOMPARE(link.Login(), std::string("root"));
    QCOMPARE(link.Password(), std::string("pa ss"));
    QVERIFY(!link.AutoReconnect());
    QVERIFY(!box->isChecked());
    QCOMPARE(link.ReconnectDelay(), 1);
    QCOMPARE(link.ReconnectAttempts(), 2);
    QCOMPARE(link.ReconnectPause(), 3);
    QCOMPARE(link.ReconnectCycles(), 4);
    const auto opens = harness.Socket().Opens();
    QCOMPARE(opens.size(), size_t(1));
    QCOMPARE(opens[0], (FakeSocketLog::OpenCall{"", "server.example.org", 6000}));

    // And back on: the window's box follows the dialog both ways.
    harness.Session().Disconnect();
    entries.autoReconnect = true;
    QVERIFY(RunAccepting(harness, entries, message));
    QVERIFY(link.AutoReconnect());
    QVERIFY(box->isChecked());
}

void ConnectFlowTest::unchangedDataStartsANewAttemptWithTheSameData() {
    WindowHarness harness;
    harness.Session().SetServer("192.0.2.7", 5000);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        auto answer = AnswerDialog<TfrmKrvClient_Server>(
            [](TfrmKrvClient_Server* dialog) { QTest::keyClick(dialog->edHost, Qt::Key_Return); });
        QVERIFY(harness.Window().RunConnectDialog());
        QVERIFY(answer->Answered());
        QCOMPARE(harness.Socket().Opens().size(), size_t(attempt));
        QCOMPARE(harness.Socket().Opens().back(), (FakeSocketLog::OpenCall{"192.0.2.7", "", 5000}));
        QCOMPARE(harness.Session().Link().Password(), std::string("secret"));
    }
}

void ConnectFlowTest::unchangedFieldsGiveBackTheirExactBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("Latin-1") << QByteArray("\xe9t\xe9");
    QTest::newRow("invalid UTF-8") << QByteArray(
        "a\xff\xfe"
        "b");
    QTest::newRow("C1 controls") << QByteArray(
        "a\x85\x9f"
        "b");
    QTest::newRow("zero byte") << QByteArray("a\0b", 3);
    QTest::newRow("line break") << QByteArray("a\r\nb");
    QTest::newRow("UTF-8 line separator") << QByteArray(
        "a\xe2\x80\xa8"
        "b");
}

void ConnectFlowTest::unchangedFieldsGiveBackTheirExactBytes() {
    QFETCH(QByteArray, bytes);
    const std::string text = bytes.toStdString();
    WindowHarness harness;
    harness.Session().SetServer(text, 5000);
    harness.Session().SetCredentials(text, text);
    const TkvClient& link = harness.Link();
    auto answer = AnswerDialog<TfrmKrvClient_Server>(
        [](TfrmKrvClient_Server* dialog) { QTest::keyClick(dialog->edPassword, Qt::Key_Return); });
    QVERIFY(harness.Window().RunConnectDialog());
    QVERIFY(answer->Answered());
    QCOMPARE(QByteArray::fromStdString(link.Login()).toHex(), bytes.toHex());
    QCOMPARE(QByteArray::fromStdString(link.Password()).toHex(), bytes.toHex());
    QCOMPARE(QByteArray::fromStdString(harness.Socket().Opens().back().host).toHex(), bytes.toHex());
}

void ConnectFlowTest::endingWithoutAcceptChangesNothing_data() {
    QTest::addColumn<int>("ending");
    QTest::newRow("cancel button") << 0;
    QTest::newRow("escape") << 1;
    QTest::newRow("close box") << 2;
}

void ConnectFlowTest::endingWithoutAcceptChangesNothing() {
    QFETCH(int, ending);
    WindowHarness harness;
    auto answer = AnswerDialog<TfrmKrvClient_Server>([ending](TfrmKrvClient_Server* dialog) {
        Enter(dialog, {"192.0.2.9", "7000", "other", "new", "1", "1", "1", "1", false});
        if (ending == 0) {
            dialog->Button2->click();
        } else if (ending == 1) {
            QTest::keyClick(dialog->edPort, Qt::Key_Escape);
        } else {
            dialog->close();
        }
    });
    QVERIFY(!harness.Window().RunConnectDialog());
    QVERIFY(answer->Answered());
    QVERIFY(harness.Socket().Opens().empty());
    QCOMPARE(harness.Session().Link().Login(), std::string("admin"));
    QCOMPARE(harness.Session().Link().Password(), std::string("secret"));
    QVERIFY(harness.Session().Link().AutoReconnect());
    QCOMPARE(harness.Session().Link().ReconnectDelay(), 10);
    QVERIFY(harness.Window().findChild<TfrmKrvClient_Server*>() == nullptr);
}

void ConnectFlowTest::connectButtonRunsTheFlow() {
    WindowHarness harness;
    auto answer = AnswerDialog<TfrmKrvClient_Server>([](TfrmKrvClient_Server* dialog) {
        Enter(dialog, Valid());
        dialog->Button1->click();
    });
    harness.Window().findChild<QToolButton*>("btConnect")->click();
    QVERIFY(answer->Answered());
    QCOMPARE(harness.Socket().Opens().size(), size_t(1));
}

QTEST_MAIN(ConnectFlowTest)
#include "ConnectFlowTest.moc"
