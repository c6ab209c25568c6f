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
    // A window never shown has no frame yet, and Qt reports its frame one pixel short.
    const QRect formRect = form.isVisible() ? form.frameGeometry() : QRect(form.pos(), form.size());
    ScreenPoint place =
        CenterFormOver(RectOf(formRect), RectOf(over.frameGeometry()), screen.width(), screen.height());
    form.move(place.left, place.top);
}
