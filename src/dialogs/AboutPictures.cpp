#include "dialogs/AboutPictures.hpp"

#include <QPainter>
#include <QPolygon>

namespace {

QPixmap BlankPicture() {
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    return picture;
}

}  // namespace

QPixmap HousePicture() {
    QPixmap picture = BlankPicture();
    QPainter painter(&picture);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(250, 240, 220));  // light walls
    painter.drawRect(3, 7, 10, 8);
    painter.setBrush(QColor(255, 128, 192));  // pink roof
    painter.drawPolygon(QPolygon({QPoint(0, 8), QPoint(8, 1), QPoint(16, 8)}));
    painter.setBrush(QColor(64, 40, 24));  // dark doorway
    painter.drawRect(7, 10, 3, 5);
    return picture;
}

QPixmap EnvelopePicture() {
    QPixmap picture = BlankPicture();
    QPainter painter(&picture);
    painter.setPen(QColor(0, 128, 0));
    painter.setBrush(Qt::white);
    painter.drawRect(1, 3, 13, 9);
    painter.drawPolyline(QPolygon({QPoint(1, 3), QPoint(8, 9), QPoint(14, 3)}));
    return picture;
}
