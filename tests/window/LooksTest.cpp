// Every window at twice the scale and in a dark palette (Fusion, light text on dark ground):
// no caption, button or field is cut off, and every text stands out from its ground. With
// KRV_LOOKS_DIR set, each window is also saved there as a picture to be looked at.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStyleFactory>
#include <QTest>
#include <cmath>
#include <functional>

#include "dialogs/FieldLook.hpp"
#include "dialogs/krvClientAAbout.hpp"
#include "support/ModalResponder.hpp"
#include "window/WindowHarness.hpp"

namespace {

QPalette DarkPalette() {
    QPalette dark;
    const QColor window(53, 53, 53);
    const QColor base(35, 35, 35);
    const QColor text(235, 235, 235);
    const QColor disabled(127, 127, 127);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::ToolTipBase, base);
    dark.setColor(QPalette::ToolTipText, text);
    dark.setColor(QPalette::PlaceholderText, QColor(160, 160, 160));
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, window);
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::BrightText, Qt::red);
    dark.setColor(QPalette::Link, QColor(42, 130, 218));
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        dark.setColor(QPalette::Disabled, role, disabled);
    }
    return dark;
}

// The relative luminance contrast of two colours, 1 (none) to 21 (black on white).
double Contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& colour) {
        const auto channel = [](double value) {
            return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
               0.0722 * channel(colour.blueF());
    };
    const double lighter = std::max(luminance(a), luminance(b));
    const double darker = std::min(luminance(a), luminance(b));
    return (lighter + 0.05) / (darker + 0.05);
}

// The size of what a text draws, mnemonic marks left out: its widest line's ink, and the height
// of one line's ink or of all its lines.
QSize Ink(const QWidget& control, QString text) {
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    const QFontMetrics metrics = control.fontMetrics();
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() == 1) {
        return metrics.tightBoundingRect(text).size();
    }
    int widest = 0;
    for (const QString& line : lines) {
        widest = std::max(widest, metrics.tightBoundingRect(line).width());
    }
    return {widest, metrics.boundingRect(QRect(0, 0, 10000, 10000), 0, text).height()};
}

// What a reader of the screen cannot read: text wider or taller than its control, or too close
// to its ground in colour. Elided cells of the list are as the list always showed them.
QStringList Faults(QWidget& window) {
    QStringList faults;
    const auto check = [&faults](QWidget* control, QPalette::ColorRole textRole,
                                 QPalette::ColorRole groundRole, const QSize& needed) {
        if (!control->isVisible()) {
            return;
        }
        const QString name =
            control->objectName().isEmpty() ? control->metaObject()->className() : control->objectName();
        if (needed.width() > control->width() || needed.height() > control->height()) {
            faults << QStringLiteral("%1 is cut off: needs %2x%3, has %4x%5")
                          .arg(name)
                          .arg(needed.width())
                          .arg(needed.height())
                          .arg(control->width())
                          .arg(control->height());
        }
        const QPalette& palette = control->palette();
        const double contrast = Contrast(palette.color(textRole), palette.color(groundRole));
        // The large-text and control threshold: a locked field's grey ground stays as it is.
        if (contrast < 3.0) {
            faults << QStringLiteral("%1 is hard to read: contrast %2").arg(name).arg(contrast, 0, 'f', 1);
        }
    };
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->pixmap().isNull() && !label->text().isEmpty()) {
            const QSize frame(2 * label->frameWidth(), 2 * label->frameWidth());
            const QSize needed = label->wordWrap() ? QSize(0, label->heightForWidth(label->width()))
                                                   : Ink(*label, label->text()) + frame;
            check(label, label->foregroundRole(), label->backgroundRole(), needed);
        }
    }
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (!button->text().isEmpty()) {
            // A check box's text stands beside its box.
            const int box = qobject_cast<QCheckBox*>(button) != nullptr ? button->iconSize().width() + 4 : 0;
            check(button, button->foregroundRole(), button->backgroundRole(),
                  Ink(*button, button->text()) + QSize(box + 4, 0));
        }
    }
    for (QLineEdit* field : window.findChildren<QLineEdit*>()) {
        const QString shown = field->text().isEmpty() ? field->placeholderText() : field->text();
        const QSize text = field->fontMetrics().size(0, shown.isEmpty() ? QStringLiteral("Wg") : shown);
        // The frame and the margins the style puts round the text.
        check(field, QPalette::Text, QPalette::Base, QSize(0, text.height() + 4));
    }
    return faults;
}

void Save(QWidget& window, const QString& name) {
    const QString folder = qEnvironmentVariable("KRV_LOOKS_DIR");
    if (!folder.isEmpty()) {
        window.grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
    }
}

using Opener = std::function<void(WindowHarness&)>;

}  // namespace

Q_DECLARE_METATYPE(Opener)

class LooksTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void everyWindowReadsWhole_data();
    void everyWindowReadsWhole();
};

void LooksTest::initTestCase() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(DarkPalette());
    QVERIFY(qFuzzyCompare(qApp->devicePixelRatio(), 2.0));
}

void LooksTest::everyWindowReadsWhole_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("modal");
    QTest::addColumn<Opener>("open");
    const auto trigger = [](const char* action) {
        return Opener(
            [action](WindowHarness& harness) { harness.Window().findChild<QAction*>(action)->trigger(); });
    };
    const auto listed = [](WindowHarness& harness) {
        harness.LogIn();
        std::vector<std::string> lines;
        // Five-digit counts in the status bar.
        for (int number = 0; number < 12000; ++number) {
            lines.push_back(std::string(number % 3 == 0 ? "ARLM:on,," : "ARLM:,,") + "member" +
                            std::to_string(number) + "=pw,chat,news,games;echo,trivia;");
        }
        lines.push_back("ARLC");
        harness.Serve(lines);
    };
    QTest::newRow("main window, listed")
        << "frmKrvClientA" << false << Opener([listed](WindowHarness& harness) {
               listed(harness);
               harness.List()->setCurrentIndex(harness.Model()->index(2, 0));
               harness.List()->setFocus();
           });
    QTest::newRow("main window, find field")
        << "frmKrvClientA" << false << Opener([listed](WindowHarness& harness) {
               listed(harness);
               QTest::keyClick(&harness.Window(), Qt::Key_F, Qt::ControlModifier);
               QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("member7"));
           });
    QTest::newRow("connection dialog") << "frmKrvClient_Server" << true << Opener([](WindowHarness& harness) {
        harness.Window().findChild<QAbstractButton*>("btConnect")->click();
    });
    QTest::newRow("account dialog") << "frmServer_Client" << true << Opener([listed](WindowHarness& harness) {
        listed(harness);
        harness.List()->setCurrentIndex(harness.Model()->index(2, 0));
        harness.Window().findChild<QAction*>("mnuEditClient")->trigger();
    });
    QTest::newRow("about box") << "frmkrvClientAAbout" << true << trigger("mnuHelpAbout");
    QTest::newRow("connection log")
        << "frmConnectionLog" << false << Opener([listed](WindowHarness& harness) {
               listed(harness);
               harness.Window().findChild<QAction*>("mnuConnectionLog")->trigger();
           });
}

void LooksTest::everyWindowReadsWhole() {
    QFETCH(QString, window);
    QFETCH(bool, modal);
    QFETCH(Opener, open);
    const QString picture =
        QString::fromLatin1(QTest::currentDataTag()).replace(QRegularExpression("[^a-z]+"), "-");
    WindowHarness harness;
    harness.Window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&harness.Window()));
    QStringList faults;
    const auto look = [&](QWidget& shown) {
        QVERIFY(QTest::qWaitForWindowExposed(&shown));
        // Layouts asked for by the last changes are done before the window is looked at.
        QApplication::processEvents();
        Save(shown, picture);
        faults = Faults(shown);
    };
    if (modal) {
        ModalResponder responder([window](QWidget* shown) { return shown->objectName() == window; },
                                 [&look](QWidget* shown) { look(*shown); });
        open(harness);
        QTRY_VERIFY(responder.Answered());
    } else {
        open(harness);
        for (QWidget* topLevel : QApplication::topLevelWidgets()) {
            if (topLevel->objectName() == window && topLevel->isVisible()) {
                look(*topLevel);
            }
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
}

QTEST_MAIN(LooksTest)
#include "LooksTest.moc"
