#include "dialogs/ClickablePicture.hpp"

#include <QMouseEvent>

ClickablePicture::ClickablePicture(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
}

void ClickablePicture::mouseReleaseEvent(QMouseEvent* event) {
    // A press that is dragged off the picture and released elsewhere is no click.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}
