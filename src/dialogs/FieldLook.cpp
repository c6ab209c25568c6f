#include "dialogs/FieldLook.hpp"

#include <QApplication>
#include <QLineEdit>
#include <QPalette>
#include <QProxyStyle>
#include <QWidget>

namespace {

const QColor kOpenColor(255, 255, 255);
const QColor kLockedColor(128, 128, 128);
// An open field is white whatever the desktop's palette, so its text is black whatever the
// palette's own text colour, which a dark palette makes light.
const QColor kOpenTextColor(0, 0, 0);

class StarMaskStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) {
            return '*';
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

void SetFieldOpen(QLineEdit& field, bool open) {
    QPalette palette = field.palette();
    palette.setColor(QPalette::Base, open ? kOpenColor : kLockedColor);
    palette.setColor(QPalette::Text,
                     open ? kOpenTextColor : QApplication::palette(&field).color(QPalette::Text));
    field.setPalette(palette);
    field.setReadOnly(!open);
}

bool FieldIsOpen(const QLineEdit& field) {
    return !field.isReadOnly() && field.palette().color(QPalette::Base) == kOpenColor;
}

void MaskWithStars(QLineEdit& field) {
    // The style belongs to the field, so it goes when the field goes.
    auto* style = new StarMaskStyle;
    style->setParent(&field);
    field.setStyle(style);
    field.setEchoMode(QLineEdit::Password);
}

void SetTabChain(std::initializer_list<QWidget*> controls) {
    QWidget* previous = nullptr;
    for (QWidget* control : controls) {
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, control);
        }
        previous = control;
    }
}
