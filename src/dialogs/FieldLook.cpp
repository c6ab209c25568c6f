#include "dialogs/FieldLook.hpp"

#include <QLineEdit>
#include <QPalette>
#include <QProxyStyle>
#include <QWidget>

namespace {

const QColor kOpenColor(255, 255, 255);
const QColor kLockedColor(128, 128, 128);

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
