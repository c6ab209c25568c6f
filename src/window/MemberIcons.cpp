#include "window/MemberIcons.hpp"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPointF>

namespace {
constexpr int kImageSize = 16;

QPixmap TransparentImage() {
    QPixmap image(kImageSize, kImageSize);
    image.fill(Qt::transparent);
    return image;
}
}  // namespace

QPixmap DrawBlankMemberImage() {
    return TransparentImage();
}

QPixmap DrawOnlineMemberImage() {
    QPixmap image = TransparentImage();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(0, 160, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    const QPointF tick[] = {{3.0, 8.5}, {6.5, 12.0}, {13.0, 4.0}};
    painter.drawPolyline(tick, 3);
    return image;
}
