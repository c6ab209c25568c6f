#include "dialogs/FormPlacement.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "util/untCalc1.hpp"

namespace {

ScreenRect RectOf(const QRect& rect) {
    return {rect.left(), rect.top(), rect.width(), rect.height()};
}

}  // namespace

void CenterFormOver(QWidget& form, const QWidget& over) {
    QSize screen = QGuiApplication::primaryScreen()->size();
    ScreenPoint place = CenterFormOver(RectOf(form.frameGeometry()), RectOf(over.frameGeometry()),
                                       screen.width(), screen.height());
    form.move(place.left, place.top);
}
