#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "keyring/QtKeychainKeyring.hpp"
#include "session/ConnectionLog.hpp"
#include "settings/StoredSettings.hpp"
#include "support/FakeClientSocket.hpp"
#include "window/untKrvClientA.hpp"

// Run with a session bus address that leads nowhere: with no Secret Service the password stays
// scrambled in the settings file exactly as the program kept it before it knew of keyrings.
class KeyringAbsentTest : public QObject {
    Q_OBJECT

private slots:
    void noBusMeansNoKeyring();
    void theFileIsWrittenAsWithoutAKeyringAndTheLogSaysSoOnce();

private:
    static QByteArray RunWindow(const QString& path, bool withKeyring, int& keyringNotes);
};

void KeyringAbsentTest::noBusMeansNoKeyring() {
    QVERIFY2(qgetenv("DBUS_SESSION_BUS_ADDRESS").contains("nowhere"),
             "run with a bus address that leads nowhere");
    QVERIFY(!QtKeychainKeyring().Present());
}

QByteArray KeyringAbsentTest::RunWindow(const QString& path, bool withKeyring, int& keyringNotes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return {};
    }
    file.write("[Parameters]\nwndMain=0,0,0,0\n\n[Client]\nLogin=admin\nPassword=" +
               QByteArray::fromStdString(ScrambledPassword("kept-pw")) + "\nHost=h.test\nPort=7000\n");
    file.close();
    {
        TfrmKrvClientA window(std::make_unique<FakeClientSocket>(), path);
        if (withKeyring) {
            window.UseKeyring(std::make_unique<QtKeychainKeyring>());
        }
        window.SaveSettings();
        keyringNotes = 0;
        for (const ConnectionLogEntry& entry : window.Log().Entries()) {
            keyringNotes += entry.name == "Keyring" ? 1 : 0;
        }
        window.close();
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

void KeyringAbsentTest::theFileIsWrittenAsWithoutAKeyringAndTheLogSaysSoOnce() {
    QTemporaryDir dir;
    int notesWithout = -1;
    int notesWith = -1;
    const QByteArray without = RunWindow(dir.filePath("without.ini"), false, notesWithout);
    const QByteArray with = RunWindow(dir.filePath("with.ini"), true, notesWith);
    QVERIFY(!without.isEmpty());
    QCOMPARE(with, without);
    QVERIFY(with.contains("Password=" + QByteArray::fromStdString(ScrambledPassword("kept-pw")) + "\n"));
    QCOMPARE(notesWithout, 0);
    QCOMPARE(notesWith, 1);
}

QTEST_MAIN(KeyringAbsentTest)
#include "KeyringAbsentTest.moc"
