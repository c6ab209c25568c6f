#include "dialogs/ClickablePicture.hpp"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

ClickablePicture::ClickablePicture(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::TabFocus);
}

void ClickablePicture::mouseReleaseEvent(QMouseEvent* event) {
    // A press that is dragged off the picture and released elsewhere is no click.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

void ClickablePicture::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit clicked();
            return;
        default:
            QLabel::keyPressEvent(event);
    }
}

// The box looks as it always did until the keyboard is used in it.
void ClickablePicture::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus() || !window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        return;
    }
    QPainter painter(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}
