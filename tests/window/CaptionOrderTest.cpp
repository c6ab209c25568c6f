#include <QCollator>
#include <QLocale>
#include <QTest>

#include "window/CaptionOrder.hpp"

class CaptionOrderTest : public QObject {
    Q_OBJECT

private slots:
    void sortsByTheCollationOfTheLocale_data();
    void sortsByTheCollationOfTheLocale();
    void comparesWithAsciiLettersFoldedToUpperCase_data();
    void comparesWithAsciiLettersFoldedToUpperCase();
};

namespace {
std::vector<MemberRow> RowsOf(const QStringList& logins) {
    std::vector<MemberRow> rows;
    for (const QString& login : logins) {
        rows.push_back({login.toStdString(), "from " + login.toStdString(), "", false});
    }
    return rows;
}
}  // namespace

void CaptionOrderTest::sortsByTheCollationOfTheLocale_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("logins");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("C: code points") << "C" << QStringList({"b", "B", "a", "A", "_x"})
                                    << QStringList({"A", "B", "_x", "a", "b"});
    QTest::newRow("English: letters first, lower case first")
        << "en_US" << QStringList({"b", "B", "a", "A", "\u00e9t\u00e9", "ete"})
        << QStringList({"a", "A", "b", "B", "ete", "\u00e9t\u00e9"});
    QTest::newRow("German: umlaut with its letter") << "de_DE" << QStringList({"zebra", "\u00c4rger", "Affe"})
                                                    << QStringList({"Affe", "\u00c4rger", "zebra"});
    QTest::newRow("empty and duplicate captions keep their order")
        << "C" << QStringList({"b", "", "a", "b"}) << QStringList({"", "a", "b", "b"});
}

void CaptionOrderTest::sortsByTheCollationOfTheLocale() {
    QFETCH(QString, locale);
    QFETCH(QStringList, logins);
    QFETCH(QStringList, sorted);
    QCollator collator{QLocale(locale)};
    collator.setCaseSensitivity(Qt::CaseSensitive);
    std::vector<MemberRow> rows = RowsOf(logins);
    SortRowsByCaption(rows, collator);
    QStringList captions;
    for (const MemberRow& row : rows) {
        captions << QString::fromStdString(row.Login);
        QCOMPARE(row.ProtocolsText, "from " + row.Login);  // rows move whole
    }
    QCOMPARE(captions, sorted);
}

void CaptionOrderTest::comparesWithAsciiLettersFoldedToUpperCase_data() {
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<int>("sign");
    QTest::newRow("letter case ignored") << QByteArray("Bob") << QByteArray("bOB") << 0;
    QTest::newRow("prefix first") << QByteArray("bo") << QByteArray("Bob") << -1;
    QTest::newRow("upper-case folding puts _ after letters") << QByteArray("_a") << QByteArray("z") << 1;
    QTest::newRow("bytes above 127 unfolded") << QByteArray("\xe9") << QByteArray("\xc9") << 1;
    QTest::newRow("empty") << QByteArray() << QByteArray("a") << -1;
}

void CaptionOrderTest::comparesWithAsciiLettersFoldedToUpperCase() {
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(int, sign);
    const int result = CompareTextAscii(a.toStdString(), b.toStdString());
    QCOMPARE((result > 0) - (result < 0), sign);
}

QTEST_MAIN(CaptionOrderTest)
#include "CaptionOrderTest.moc"
