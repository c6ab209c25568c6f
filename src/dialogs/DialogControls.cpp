#include "dialogs/DialogControls.hpp"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPoint>
#include <QPushButton>
#include <QRect>
#include <QString>

namespace {

QLabel* NewCaption(QWidget& dialog, const char* name, const QString& text) {
    auto* label = new QLabel(text, &dialog);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

Qt::WindowFlags FixedDialogFlags() {
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
           Qt::MSWindowsFixedSizeDialogHint;
}

QFont ArialPoints(int points, bool bold) {
    QFont font(QStringLiteral("Arial"), points);
    font.setBold(bold);
    return font;
}

QFont ArialPixels(int pixels, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* AddCaption(QWidget& dialog, const char* name, const QString& text, const QPoint& at) {
    QLabel* label = NewCaption(dialog, name, text);
    label->move(at);
    label->adjustSize();
    return label;
}

// A caption drawn for one face may need a pixel or two more in another; it grows to the right,
// towards its field, rather than lose the end of its text.
QLabel* AddCaption(QWidget& dialog, const char* name, const QString& text, const QRect& place) {
    QLabel* label = NewCaption(dialog, name, text);
    label->setGeometry(place);
    if (!text.isEmpty() && label->sizeHint().width() > place.width()) {
        label->resize(label->sizeHint().width(), place.height());
    }
    return label;
}

QLineEdit* AddField(QWidget& dialog, const char* name, const QRect& place, QLabel* caption) {
    auto* field = new QLineEdit(&dialog);
    field->setObjectName(QLatin1String(name));
    field->setGeometry(place);
    if (caption != nullptr) {
        caption->setBuddy(field);
    }
    return field;
}

QPushButton* AddButton(QWidget& dialog, const char* name, const QString& caption, const QRect& place) {
    auto* button = new QPushButton(caption, &dialog);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(place);
    return button;
}
