#include <QTest>

#include <random>
#include <string>

#include "util/WideText.hpp"
#include "window/DisplayText.hpp"

// The rows are keyed from WidenBytes where the widgets show BytesToDisplay; a text on which the
// two disagreed would sort where its shown text does not.
class WidenBytesTest : public QObject {
    Q_OBJECT

private slots:
    void widensAsTheWidgetsShow_data();
    void widensAsTheWidgetsShow();
    void randomBytesWidenAsTheWidgetsShow();
};

namespace {

QByteArray Bytes(const char* text, qsizetype size = -1) {
    return QByteArray(text, size < 0 ? qsizetype(qstrlen(text)) : size);
}

void CompareWithDisplay(const std::string& bytes) {
    const QString shown = BytesToDisplay(bytes);
    const std::u16string widened = WidenBytes(bytes);
    QCOMPARE(QStringView(widened.data(), qsizetype(widened.size())), QStringView(shown));
    std::string utf8;
    AppendUtf8(widened, utf8);
    QCOMPARE(QByteArray::fromStdString(utf8), shown.toUtf8());
}

}  // namespace

void WidenBytesTest::widensAsTheWidgetsShow_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("ASCII with a zero byte") << Bytes("a\0b", 3);
    QTest::newRow("two, three and four bytes") << Bytes("\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80");
    QTest::newRow("Latin-1") << Bytes("caf\xe9");
    QTest::newRow("overlong zero") << Bytes("\xc0\x80");
    QTest::newRow("overlong slash") << Bytes("\xe0\x80\xaf");
    QTest::newRow("overlong in four bytes") << Bytes("\xf0\x8f\xbf\xbf");
    QTest::newRow("smallest three bytes") << Bytes("\xe0\xa0\x80");
    QTest::newRow("high surrogate") << Bytes("\xed\xa0\x80");
    QTest::newRow("low surrogate") << Bytes("x\xed\xbf\xbf");
    QTest::newRow("surrogate pair in UTF-8") << Bytes("\xed\xa0\xbd\xed\xb8\x80");
    QTest::newRow("last before surrogates") << Bytes("\xed\x9f\xbf");
    QTest::newRow("truncated at the end") << Bytes("a\xe2\x82");
    QTest::newRow("truncated inside") << Bytes(
        "\xe2\x82"
        "a");
    QTest::newRow("lone continuation") << Bytes("\x80");
    QTest::newRow("U+FFFE") << Bytes("\xef\xbf\xbe");
    QTest::newRow("U+FFFF") << Bytes("\xef\xbf\xbf");
    QTest::newRow("U+FDD0") << Bytes("\xef\xb7\x90");
    QTest::newRow("U+10FFFF") << Bytes("\xf4\x8f\xbf\xbf");
    QTest::newRow("U+110000") << Bytes("\xf4\x90\x80\x80");
    QTest::newRow("five bytes") << Bytes("\xf8\x88\x80\x80\x80");
    QTest::newRow("bytes FE and FF") << Bytes("\xfe\xff");
    QTest::newRow("byte order mark first") << Bytes(
        "\xef\xbb\xbf"
        "ab");
    QTest::newRow("byte order mark alone") << Bytes("\xef\xbb\xbf");
    QTest::newRow("two byte order marks") << Bytes("\xef\xbb\xbf\xef\xbb\xbf");
    QTest::newRow("byte order mark inside") << Bytes("a\xef\xbb\xbf");
    QTest::newRow("byte order mark before invalid") << Bytes("\xef\xbb\xbf\xff");
}

void WidenBytesTest::widensAsTheWidgetsShow() {
    QFETCH(QByteArray, bytes);
    CompareWithDisplay(bytes.toStdString());
}

// Short runs of lead, continuation and ASCII bytes, which make valid and invalid sequences of
// every length far more often than uniform bytes would.
void WidenBytesTest::randomBytesWidenAsTheWidgetsShow() {
    static const unsigned char kBytes[] = {'a',  0x00, 0x7f, 0x80, 0x8f, 0x90, 0x9f, 0xa0, 0xbf, 0xc0, 0xc1,
                                           0xc2, 0xdf, 0xe0, 0xed, 0xef, 0xf0, 0xf4, 0xf5, 0xf8, 0xff, 0xbb};
    std::mt19937 random(20261211);
    for (int round = 0; round < 200000; ++round) {
        std::string bytes(random() % 7, ' ');
        for (char& c : bytes) {
            c = static_cast<char>(kBytes[random() % sizeof kBytes]);
        }
        CompareWithDisplay(bytes);
        if (QTest::currentTestFailed()) {
            qWarning() << "round" << round << QByteArray::fromStdString(bytes).toHex();
            return;
        }
    }
}

QTEST_GUILESS_MAIN(WidenBytesTest)
#include "WidenBytesTest.moc"
