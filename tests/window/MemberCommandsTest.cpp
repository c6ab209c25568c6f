#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>

#include "dialogs/FieldLook.hpp"
#include "dialogs/krvServer_Client.hpp"
#include "support/ModalResponder.hpp"
#include "window/WindowHarness.hpp"

// The popup's commands, driven through their actions, with the real dialog and boxes answered
// inside their own event loops.
class MemberCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void addSendsTrimmedFieldsUnchangedInside();
    void addOfAListedLoginInAnyCaseIsRefused();
    void endingTheAccountDialogWithoutAcceptSendsNothing_data();
    void endingTheAccountDialogWithoutAcceptSendsNothing();
    void editLocksTheProtocolsOnlyOfTheOwnAdministratorAccount_data();
    void editLocksTheProtocolsOnlyOfTheOwnAdministratorAccount();
    void unchangedFieldsGoBackAsTheExactBytesTheyWereFilledWith();
    void deleteShowsEverythingLockedAndExpelsAnOnlineMember_data();
    void deleteShowsEverythingLockedAndExpelsAnOnlineMember();
    void editAndDeleteNeedASelectedMember();
    void oneMemberCommandsAskThenSend_data();
    void oneMemberCommandsAskThenSend();
    void boxesShowTheLoginAsItIs_data();
    void boxesShowTheLoginAsItIs();
    void oneMemberCommandsIgnoreAnOfflineMember_data();
    void oneMemberCommandsIgnoreAnOfflineMember();
    void expelSendsNothingWhenTheMemberLeftWhileTheBoxWasOpen();
    void requestsToAllFollowLoginAndMemberCount_data();
    void requestsToAllFollowLoginAndMemberCount();
    void fieldsTheLineCannotCarryAreRefused_data();
    void fieldsTheLineCannotCarryAreRefused();
    void aListedLoginTheLineCannotCarryIsNotExpelled();
    void aNamelessMemberIsNotAskedAsIfItWereEveryone_data();
    void aNamelessMemberIsNotAskedAsIfItWereEveryone();
    void aNamelessMemberIsNotDeleted();

private:
    // Logs in as "admin" on 192.0.2.7:5000 and lists the given members.
    void LogInWithMembers(WindowHarness& harness, const std::vector<std::string>& memberTexts);
    void Select(WindowHarness& harness, const QString& caption);
    void Trigger(WindowHarness& harness, const char* action);
    // Lines sent since the last call.
    std::vector<std::string> NewLines(WindowHarness& harness);

    size_t linesSeen_ = 0;
};

void MemberCommandsTest::cleanup() {
    linesSeen_ = 0;
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void MemberCommandsTest::LogInWithMembers(WindowHarness& harness,
                                          const std::vector<std::string>& memberTexts) {
    harness.Session().Connect("192.0.2.7", 5000);
    harness.Serve({"send login:", "send password:", "protocols: administrator", ":)"});
    QVERIFY(harness.Session().Link().LoggedIn());
    std::vector<std::string> lines;
    for (const auto& text : memberTexts) {
        lines.push_back("ARLM:" + text);
    }
    lines.push_back("ARLC");
    harness.Serve(lines);
    NewLines(harness);
}

void MemberCommandsTest::Select(WindowHarness& harness, const QString& caption) {
    const int row = harness.Captions().indexOf(caption);
    QVERIFY(row >= 0);
    harness.List()->selectionModel()->select(harness.Model()->index(row, 0),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void MemberCommandsTest::Trigger(WindowHarness& harness, const char* action) {
    harness.Window().findChild<QAction*>(action)->trigger();
}

std::vector<std::string> MemberCommandsTest::NewLines(WindowHarness& harness) {
    const auto all = harness.Socket().SentLines();
    std::vector<std::string> fresh(all.begin() + static_cast<std::ptrdiff_t>(linesSeen_), all.end());
    linesSeen_ = all.size();
    return fresh;
}

using Lines = std::vector<std::string>;

void MemberCommandsTest::addSendsTrimmedFieldsUnchangedInside() {
    WindowHarness harness;
    LogInWithMembers(harness, {",,bob=,;;"});
    auto answer = AnswerDialog<TfrmServer_Client>([](TfrmServer_Client* dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Add Client"));
        QCOMPARE(dialog->lbText->text(), QStringLiteral("Enter data of new client:"));
        for (QLineEdit* field :
             {dialog->edLogin, dialog->edPassword, dialog->edProtocols, dialog->edUserBots}) {
            QVERIFY(field->text().isEmpty());
            QVERIFY(FieldIsOpen(*field));
        }
        QTest::keyClicks(dialog->edLogin, "  carol  ");
        QTest::keyClicks(dialog->edPassword, "  ");
        QTest::keyClicks(dialog->edProtocols, "a, b");
        QTest::keyClicks(dialog->edUserBots, "x");
        QTest::keyClick(dialog->edUserBots, Qt::Key_Return);
    });
    Trigger(harness, "mnuAddClient");
    QVERIFY(answer->Answered());
    QCOMPARE(NewLines(harness), Lines{"ADA_carol:,a, b;x"});
    QVERIFY(harness.Window().findChild<TfrmServer_Client*>() == nullptr);
}

void MemberCommandsTest::addOfAListedLoginInAnyCaseIsRefused() {
    WindowHarness harness;
    LogInWithMembers(harness, {",,bob=,;;"});
    auto answer = AnswerDialog<TfrmServer_Client>([](TfrmServer_Client* dialog) {
        dialog->edLogin->setText(" Bob ");
        dialog->Button1->click();
    });
    SeenBox seen;
    auto box = AnswerMessageBox(seen);
    Trigger(harness, "mnuAddClient");
    QVERIFY(box->Answered());
    QCOMPARE(seen.text, QStringLiteral("Login name exists!"));
    QCOMPARE(seen.title, QStringLiteral("krvClientA"));
    QCOMPARE(seen.icon, QMessageBox::NoIcon);
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(NewLines(harness).empty());
}

void MemberCommandsTest::endingTheAccountDialogWithoutAcceptSendsNothing_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("ending");  // 0 cancel button, 1 Escape, 2 close box
    for (const char* command : {"mnuAddClient", "mnuEditClient", "mnuDeleteClient"}) {
        QTest::addRow("%s cancel", command) << command << 0;
        QTest::addRow("%s escape", command) << command << 1;
        QTest::addRow("%s close", command) << command << 2;
    }
}

void MemberCommandsTest::endingTheAccountDialogWithoutAcceptSendsNothing() {
    QFETCH(QString, command);
    QFETCH(int, ending);
    WindowHarness harness;
    LogInWithMembers(harness, {"on,,bob=pw,chat;;"});
    Select(harness, "bob");
    auto answer = AnswerDialog<TfrmServer_Client>([ending](TfrmServer_Client* dialog) {
        dialog->edPassword->setText("changed");
        if (ending == 0) {
            dialog->Button2->click();
        } else if (ending == 1) {
            QTest::keyClick(dialog->edPassword, Qt::Key_Escape);
        } else {
            dialog->close();
        }
    });
    Trigger(harness, command.toLatin1().constData());
    QVERIFY(answer->Answered());
    QVERIFY(NewLines(harness).empty());
    QVERIFY(harness.Window().findChild<TfrmServer_Client*>() == nullptr);
}

void MemberCommandsTest::editLocksTheProtocolsOnlyOfTheOwnAdministratorAccount_data() {
    QTest::addColumn<QString>("member");
    QTest::addColumn<bool>("protocolsOpen");
    QTest::addColumn<QString>("expectedLine");
    QTest::newRow("own, Administrator")
        << "on,,ADMIN=old,Administrator chat;b1;" << false << "ADE_ADMIN:new,Administrator,chat;b1";
    QTest::newRow("own, no administrator") << "on,,admin=old,chat;;" << true << "ADE_admin:new,typed;";
    QTest::newRow("other administrator")
        << ",,bob=old,administrator;b1,b2;" << true << "ADE_bob:new,typed;b1,b2";
}

void MemberCommandsTest::editLocksTheProtocolsOnlyOfTheOwnAdministratorAccount() {
    QFETCH(QString, member);
    QFETCH(bool, protocolsOpen);
    QFETCH(QString, expectedLine);
    WindowHarness harness;
    LogInWithMembers(harness, {member.toStdString()});
    Select(harness, harness.Captions().first());
    auto answer = AnswerDialog<TfrmServer_Client>([protocolsOpen](TfrmServer_Client* dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Edit Client"));
        QCOMPARE(dialog->lbText->text(), QStringLiteral("Edit data of client:"));
        QVERIFY(!FieldIsOpen(*dialog->edLogin));
        QVERIFY(FieldIsOpen(*dialog->edPassword));
        QVERIFY(FieldIsOpen(*dialog->edUserBots));
        QCOMPARE(FieldIsOpen(*dialog->edProtocols), protocolsOpen);
        QCOMPARE(dialog->edProtocols->palette().color(QPalette::Base),
                 protocolsOpen ? QColor(255, 255, 255) : QColor(128, 128, 128));
        QCOMPARE(dialog->edPassword->text(), QStringLiteral("old"));
        // A locked field takes no typing; an open one does.
        dialog->edLogin->selectAll();
        QTest::keyClicks(dialog->edLogin, "other");
        dialog->edPassword->selectAll();
        QTest::keyClicks(dialog->edPassword, "new");
        dialog->edProtocols->selectAll();
        QTest::keyClicks(dialog->edProtocols, "typed");
        dialog->Button1->click();
    });
    Trigger(harness, "mnuEditClient");
    QVERIFY(answer->Answered());
    QCOMPARE(NewLines(harness), Lines{expectedLine.toStdString()});
}

void MemberCommandsTest::unchangedFieldsGoBackAsTheExactBytesTheyWereFilledWith() {
    WindowHarness harness;
    // Latin-1 bytes that are not UTF-8: shown as Latin-1, sent back untouched when not edited.
    LogInWithMembers(harness, {",,j\xf6rg=p\xe4ss,chat;b\xf6t;"});
    Select(harness, QString::fromLatin1("j\xf6rg"));
    auto answer = AnswerDialog<TfrmServer_Client>([](TfrmServer_Client* dialog) {
        QCOMPARE(dialog->edLogin->text(), QString::fromLatin1("j\xf6rg"));
        dialog->edProtocols->setText(QString::fromUtf8("chat,\xc3\xa9"));
        dialog->Button1->click();
    });
    Trigger(harness, "mnuEditClient");
    QVERIFY(answer->Answered());
    // The edited field goes out as UTF-8, the others as they came.
    QCOMPARE(NewLines(harness), Lines{"ADE_j\xf6rg:p\xe4ss,chat,\xc3\xa9;b\xf6t"});
}

void MemberCommandsTest::deleteShowsEverythingLockedAndExpelsAnOnlineMember_data() {
    QTest::addColumn<QString>("member");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("offline") << ",,bob=pw,chat;b1;" << QStringList{"ADD_bob:"};
    QTest::newRow("online") << ",on,bob=pw,chat;b1;" << QStringList{"ADD_bob:", "ADX_bob:"};
}

void MemberCommandsTest::deleteShowsEverythingLockedAndExpelsAnOnlineMember() {
    QFETCH(QString, member);
    QFETCH(QStringList, expected);
    WindowHarness harness;
    LogInWithMembers(harness, {member.toStdString()});
    Select(harness, "bob");
    auto answer = AnswerDialog<TfrmServer_Client>([](TfrmServer_Client* dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Delete Client"));
        QCOMPARE(dialog->lbText->text(), QStringLiteral("Data of client:"));
        QCOMPARE(dialog->edLogin->text(), QStringLiteral("bob"));
        QCOMPARE(dialog->edProtocols->text(), QStringLiteral("chat"));
        QCOMPARE(dialog->edUserBots->text(), QStringLiteral("b1"));
        for (QLineEdit* field :
             {dialog->edLogin, dialog->edPassword, dialog->edProtocols, dialog->edUserBots}) {
            QVERIFY(!FieldIsOpen(*field));
        }
        QTest::keyClick(dialog->edLogin, Qt::Key_Return);
    });
    Trigger(harness, "mnuDeleteClient");
    QVERIFY(answer->Answered());
    Lines lines;
    for (const QString& line : expected) {
        lines.push_back(line.toStdString());
    }
    QCOMPARE(NewLines(harness), lines);
}

void MemberCommandsTest::editAndDeleteNeedASelectedMember() {
    WindowHarness harness;
    LogInWithMembers(harness, {"on,,bob=,;;"});
    for (const char* command : {"mnuEditClient", "mnuDeleteClient", "mnuExpelClient",
                                "mnuRequestClientLogoff", "mnuRequestClientReconnect"}) {
        auto answer = AnswerDialog<QDialog>([](QDialog* dialog) { dialog->reject(); });
        Trigger(harness, command);
        QVERIFY2(!answer->Answered(), command);
    }
    QVERIFY(NewLines(harness).empty());
}

void MemberCommandsTest::oneMemberCommandsAskThenSend_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::newRow("expel") << "mnuExpelClient"
                           << "Confirm" << int(QMessageBox::Question) << "Expel bob?"
                           << "ADX_bob:";
    QTest::newRow("logoff") << "mnuRequestClientLogoff"
                            << "Warning" << int(QMessageBox::Warning) << "Request bob to log off?"
                            << "AEC_bob:";
    QTest::newRow("reconnect") << "mnuRequestClientReconnect"
                               << "Confirm" << int(QMessageBox::Question) << "Request bob to reconnect?"
                               << "ACR_bob:5 , 5000 , 192.0.2.7";
}

void MemberCommandsTest::oneMemberCommandsAskThenSend() {
    QFETCH(QString, command);
    QFETCH(QString, title);
    QFETCH(int, icon);
    QFETCH(QString, text);
    QFETCH(QString, line);
    WindowHarness harness;
    LogInWithMembers(harness, {"on,,bob=,;;", ",,carol=,;;"});
    Select(harness, "bob");

    SeenBox seen;
    auto cancel = AnswerMessageBox(seen, QMessageBox::Cancel);
    Trigger(harness, command.toLatin1().constData());
    QVERIFY(cancel->Answered());
    QVERIFY(NewLines(harness).empty());

    auto ok = AnswerMessageBox(seen, QMessageBox::Ok);
    Trigger(harness, command.toLatin1().constData());
    QVERIFY(ok->Answered());
    QCOMPARE(seen.title, title);
    QCOMPARE(int(seen.icon), icon);
    QCOMPARE(seen.text, text);
    QCOMPARE(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(NewLines(harness), Lines{line.toStdString()});
}

void MemberCommandsTest::boxesShowTheLoginAsItIs_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("shown");
    QTest::newRow("expel") << "mnuExpelClient"
                           << "Expel a<b>c?";
    QTest::newRow("logoff") << "mnuRequestClientLogoff"
                            << "Request a<b>c to log off?";
    QTest::newRow("reconnect") << "mnuRequestClientReconnect"
                               << "Request a<b>c to reconnect?";
}

// Logins are the server's text: one that looks like markup must not be rendered as markup, or
// the box asks about a member other than the one the command goes to.
void MemberCommandsTest::boxesShowTheLoginAsItIs() {
    QFETCH(QString, command);
    QFETCH(QString, shown);
    WindowHarness harness;
    LogInWithMembers(harness, {"on,,a<b>c=,;;"});
    Select(harness, "a<b>c");
    QString seen;
    auto answer = std::make_unique<ModalResponder>(
        [](QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; },
        [&seen](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            const bool markup = box->textFormat() == Qt::RichText ||
                                (box->textFormat() == Qt::AutoText && Qt::mightBeRichText(box->text()));
            QTextDocument document;
            document.setHtml(box->text());
            seen = markup ? document.toPlainText() : box->text();
            box->button(QMessageBox::Cancel)->click();
        });
    Trigger(harness, command.toLatin1().constData());
    QVERIFY(answer->Answered());
    QCOMPARE(seen, shown);
}

void MemberCommandsTest::oneMemberCommandsIgnoreAnOfflineMember_data() {
    QTest::addColumn<QString>("command");
    for (const char* command : {"mnuExpelClient", "mnuRequestClientLogoff", "mnuRequestClientReconnect"}) {
        QTest::newRow(command) << command;
    }
}

void MemberCommandsTest::oneMemberCommandsIgnoreAnOfflineMember() {
    QFETCH(QString, command);
    WindowHarness harness;
    LogInWithMembers(harness, {",,bob=,;;", "on,,carol=,;;"});
    Select(harness, "bob");
    SeenBox seen;
    auto box = AnswerMessageBox(seen);
    Trigger(harness, command.toLatin1().constData());
    QVERIFY(!box->Answered());
    QVERIFY(NewLines(harness).empty());
}

void MemberCommandsTest::expelSendsNothingWhenTheMemberLeftWhileTheBoxWasOpen() {
    WindowHarness harness;
    LogInWithMembers(harness, {"on,,bob=,;;", ",,carol=,;;"});
    Select(harness, "bob");
    harness.Window().findChild<QTimer*>("Timer1")->start();
    auto answer = std::make_unique<ModalResponder>(
        [](QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; },
        [&harness](QWidget* modal) {
            // The server's report arrives while the box is open; the window's own timer hands it on.
            harness.Socket().Deliver("ARO:,,bob=,;;\r\n");
            QVERIFY(QTest::qWaitFor(
                [&harness] { return !harness.RowOnline(harness.Captions().indexOf("bob")); }, 20000));
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
        });
    Trigger(harness, "mnuExpelClient");
    QVERIFY(answer->Answered());
    QVERIFY(NewLines(harness).empty());
}

void MemberCommandsTest::requestsToAllFollowLoginAndMemberCount_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<int>("members");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");  // empty: neither box nor line
    const QString exceptLogoff = "Request all (except you) to logoff?";
    const QString exceptReconnect = "Request all (except you) to reconnect?";
    const QString allLogoff = "Request all (including you) to logoff?";
    const QString allReconnect = "Request all (including you) to reconnect?";
    QTest::newRow("logoff but you") << "mnuRequestAllLogoffExcl" << true << 2 << "Warning" << exceptLogoff
                                    << "AEX_:";
    QTest::newRow("logoff but you, one record") << "mnuRequestAllLogoffExcl" << true << 1 << ""
                                                << ""
                                                << "";
    QTest::newRow("logoff but you, logged out") << "mnuRequestAllLogoffExcl" << false << 2 << ""
                                                << ""
                                                << "";
    QTest::newRow("reconnect but you") << "mnuRequestAllReconnecteExc" << true << 2 << "Confirm"
                                       << exceptReconnect << "ACX_:5 , 5000 , 192.0.2.7";
    QTest::newRow("reconnect but you, one record") << "mnuRequestAllReconnecteExc" << true << 1 << ""
                                                   << ""
                                                   << "";
    QTest::newRow("logoff you too") << "mnuRequestAllLogoffInc" << true << 1 << "Warning" << allLogoff
                                    << "AEC_:";
    QTest::newRow("logoff you too, logged out") << "mnuRequestAllLogoffInc" << false << 2 << ""
                                                << ""
                                                << "";
    QTest::newRow("reconnect you too") << "mnuRequestAllReconnectIncl" << true << 0 << "Confirm"
                                       << allReconnect << "ACR_:5 , 5000 , 192.0.2.7";
    QTest::newRow("reconnect you too, logged out") << "mnuRequestAllReconnectIncl" << false << 2 << ""
                                                   << ""
                                                   << "";
}

void MemberCommandsTest::requestsToAllFollowLoginAndMemberCount() {
    QFETCH(QString, command);
    QFETCH(bool, loggedIn);
    QFETCH(int, members);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QString, line);
    WindowHarness harness;
    std::vector<std::string> memberTexts;
    for (int i = 0; i < members; ++i) {
        memberTexts.push_back(",,m" + std::to_string(i) + "=,;;");
    }
    if (loggedIn) {
        LogInWithMembers(harness, memberTexts);
        QCOMPARE(harness.Window().MemberCount(), members);
    } else {
        // Connected, the handshake not finished: a list sent meanwhile is no report, so none is
        // listed (the session takes reports only once logged in).
        harness.Session().Connect("192.0.2.7", 5000);
        std::vector<std::string> early = {"ARLS"};
        for (auto& member : memberTexts) {
            early.push_back("ARLM:" + member);
        }
        early.push_back("ARLC");
        harness.Serve(early);
        NewLines(harness);
        QCOMPARE(harness.Window().MemberCount(), 0);
    }

    SeenBox seen;
    auto cancel = AnswerMessageBox(seen, QMessageBox::Cancel);
    Trigger(harness, command.toLatin1().constData());
    QCOMPARE(cancel->Answered(), !line.isEmpty());
    QVERIFY(NewLines(harness).empty());

    auto ok = AnswerMessageBox(seen, QMessageBox::Ok);
    Trigger(harness, command.toLatin1().constData());
    QCOMPARE(ok->Answered(), !line.isEmpty());
    if (line.isEmpty()) {
        QVERIFY(NewLines(harness).empty());
        return;
    }
    QCOMPARE(seen.title, title);
    QCOMPARE(seen.text, text);
    QCOMPARE(NewLines(harness), Lines{line.toStdString()});
}

void MemberCommandsTest::fieldsTheLineCannotCarryAreRefused_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("message");
    QTest::newRow("colon in login") << QStringList{"a:b", "", "", ""}
                                    << "The login cannot contain the character \":\", so nothing was sent.";
    QTest::newRow("equals in login") << QStringList{"a=b", "", "", ""}
                                     << "The login cannot contain the character \"=\", so nothing was sent.";
    QTest::newRow("comma in password")
        << QStringList{"a", "p,w", "", ""}
        << "The password cannot contain the character \",\", so nothing was sent.";
    QTest::newRow("semicolon in protocols")
        << QStringList{"a", "", "x;y", ""}
        << "The protocols cannot contain the character \";\", so nothing was sent.";
    QTest::newRow("semicolon in user bots")
        << QStringList{"a", "", "", "b;"}
        << "The user bots cannot contain the character \";\", so nothing was sent.";
}

void MemberCommandsTest::fieldsTheLineCannotCarryAreRefused() {
    QFETCH(QStringList, fields);
    QFETCH(QString, message);
    WindowHarness harness;
    LogInWithMembers(harness, {});
    auto answer = AnswerDialog<TfrmServer_Client>([fields](TfrmServer_Client* dialog) {
        dialog->edLogin->setText(fields[0]);
        dialog->edPassword->setText(fields[1]);
        dialog->edProtocols->setText(fields[2]);
        dialog->edUserBots->setText(fields[3]);
        dialog->Button1->click();
    });
    SeenBox seen;
    auto box = AnswerMessageBox(seen);
    Trigger(harness, "mnuAddClient");
    QVERIFY(box->Answered());
    QCOMPARE(seen.text, message);
    QCOMPARE(seen.icon, QMessageBox::NoIcon);
    QVERIFY(NewLines(harness).empty());
}

void MemberCommandsTest::aListedLoginTheLineCannotCarryIsNotExpelled() {
    WindowHarness harness;
    LogInWithMembers(harness, {"on,,a:b=,;;"});
    Select(harness, "a:b");
    SeenBox refusal;
    std::unique_ptr<ModalResponder> refused;
    auto chain = std::make_unique<ModalResponder>(
        [](QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; },
        [&](QWidget* modal) {
            refused = AnswerMessageBox(refusal);
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
        });
    Trigger(harness, "mnuExpelClient");
    QVERIFY(chain->Answered());
    QVERIFY(refused && refused->Answered());
    QCOMPARE(refusal.text,
             QStringLiteral("The login cannot contain the character \":\", so nothing was sent."));
    QVERIFY(NewLines(harness).empty());
}

void MemberCommandsTest::aNamelessMemberIsNotAskedAsIfItWereEveryone_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("logoff") << "mnuRequestClientLogoff";
    QTest::newRow("reconnect") << "mnuRequestClientReconnect";
    // "ADX_:" names no member.
    QTest::newRow("expel") << "mnuExpelClient";
}

// A member text without its separators leaves an online member with an empty login; the
// request for that one member would read "AEC_:" or "ACR_:...", the request to everyone.
void MemberCommandsTest::aNamelessMemberIsNotAskedAsIfItWereEveryone() {
    QFETCH(QString, command);
    WindowHarness harness;
    LogInWithMembers(harness, {"on", "on,,bob=,;;"});
    Select(harness, "");
    SeenBox refusal;
    std::unique_ptr<ModalResponder> refused;
    auto chain = std::make_unique<ModalResponder>(
        [](QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; },
        [&](QWidget* modal) {
            refused = AnswerMessageBox(refusal);
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
        });
    Trigger(harness, command.toLatin1().constData());
    QVERIFY(chain->Answered());
    QVERIFY(refused && refused->Answered());
    QCOMPARE(refusal.text, QStringLiteral("The login cannot be empty, so nothing was sent."));
    QVERIFY(NewLines(harness).empty());
}

// "ADD_:" and the expel after it would name no member.
void MemberCommandsTest::aNamelessMemberIsNotDeleted() {
    WindowHarness harness;
    LogInWithMembers(harness, {"on", "on,,bob=,;;"});
    Select(harness, "");
    SeenBox refusal;
    std::unique_ptr<ModalResponder> refused;
    auto answer = AnswerDialog<TfrmServer_Client>([&](TfrmServer_Client* dialog) {
        refused = AnswerMessageBox(refusal);
        dialog->Button1->click();
    });
    Trigger(harness, "mnuDeleteClient");
    QVERIFY(answer->Answered());
    QVERIFY(refused && refused->Answered());
    QCOMPARE(refusal.text, QStringLiteral("The login cannot be empty, so nothing was sent."));
    QVERIFY(NewLines(harness).empty());
}

QTEST_MAIN(MemberCommandsTest)
#include "MemberCommandsTest.moc"
