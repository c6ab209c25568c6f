#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <QTest>

#include <algorithm>
#include <numeric>
#include <random>

#include "window/DisplayText.hpp"

#include "rows/CaptionOrder.hpp"
#include "window/SortCollation.hpp"

class CaptionOrderTest : public QObject {
    Q_OBJECT

private slots:
    void sortsByTheCollationOfTheLocale_data();
    void sortsByTheCollationOfTheLocale();
    void sortsAsQCollatorSortKeysDo_data();
    void sortsAsQCollatorSortKeysDo();
};

namespace {
MemberRows RowsOf(const QStringList& logins) {
    MemberRows rows;
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
    MemberRows rows = RowsOf(logins);
    SortRowsByCaption(rows, CollationOf(collator));
    QStringList captions;
    for (const MemberRow& row : rows) {
        captions << QString::fromStdString(std::string(row.Login()));
        QCOMPARE(row.ProtocolsText(), "from " + std::string(row.Login()));  // rows move whole
    }
    QCOMPARE(captions, sorted);
}

void CaptionOrderTest::sortsAsQCollatorSortKeysDo_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<bool>("ignorePunctuation");
    for (const char* locale : {"C", "en_US", "de_DE", "sv_SE"}) {
        QTest::addRow("%s", locale) << locale << true << false << false;
        QTest::addRow("%s, case ignored, numbers by value, punctuation ignored", locale)
            << locale << false << true << true;
    }
}

// Random captions with long shared beginnings (most keys then agree past their first eight
// bytes), letter case, digits, punctuation, letters beyond ASCII and bytes that are not UTF-8,
// against a stable sort by QCollator's own keys.
void CaptionOrderTest::sortsAsQCollatorSortKeysDo() {
    QFETCH(QString, locale);
    QFETCH(bool, caseSensitive);
    QFETCH(bool, numeric);
    QFETCH(bool, ignorePunctuation);
    QCollator collator{QLocale(locale)};
    collator.setCaseSensitivity(caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
    collator.setNumericMode(numeric);
    collator.setIgnorePunctuation(ignorePunctuation);

    const std::vector<std::string> pieces = {"a",        "A",        "b",        "Z", "0",    "9",
                                             "10",       "-",        "_",        ".", " ",    "ae",
                                             "\xc3\xa4", "\xc3\x84", "\xc3\x9f", "o", "\xff", "ss"};
    std::mt19937 draw(20261209);
    MemberRows rows;
    for (int i = 0; i < 4000; ++i) {
        std::string login = i % 3 == 0 ? "" : std::string(i % 3 == 1 ? "member" : "Member-000");
        for (int length = static_cast<int>(draw() % 6); length > 0; --length) {
            login += pieces[draw() % pieces.size()];
        }
        rows.push_back({login, std::to_string(i), "", false});
    }

    std::vector<QCollatorSortKey> keys;
    for (const MemberRow& row : rows) {
        keys.push_back(collator.sortKey(BytesToDisplay(row.Login())));
    }
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&keys](size_t a, size_t b) { return keys[a].compare(keys[b]) < 0; });

    MemberRows sorted = rows;
    SortRowsByCaption(sorted, CollationOf(collator));
    QCOMPARE(sorted.size(), rows.size());
    for (size_t i = 0; i < order.size(); ++i) {
        QCOMPARE(sorted[i].ProtocolsText(), rows[order[i]].ProtocolsText());
    }
}

QTEST_MAIN(CaptionOrderTest)
#include "CaptionOrderTest.moc"
