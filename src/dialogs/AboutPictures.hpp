#pragma once

#include <QPixmap>

// The About box's two 16 x 16 pictures, drawn here rather than shipped as image files; the
// background is transparent.
QPixmap HousePicture();
QPixmap EnvelopePicture();
