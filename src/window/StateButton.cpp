#include "window/StateButton.hpp"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

class StateButtonAccessible final : public QAccessibleWidget {
public:
    explicit StateButtonAccessible(StateButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text type) const override {
        const QString own = QAccessibleWidget::text(type);
        return type == QAccessible::Name && own.isEmpty() ? Button()->text().remove(QLatin1Char('&')) : own;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = Button()->isChecked();
        state.pressed = Button()->isDown();
        return state;
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (Button()->isEnabled()) {
            names.prepend(pressAction());
        }
        return names;
    }

    void doAction(const QString& actionName) override {
        if (actionName == pressAction() || actionName == toggleAction()) {
            if (Button()->isEnabled()) {
                Button()->animateClick();
            }
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }

private:
    StateButton* Button() const { return static_cast<StateButton*>(widget()); }
};

QAccessibleInterface* CreateStateButtonAccessible(const QString& className, QObject* object) {
    auto* button = qobject_cast<StateButton*>(object);
    if (button == nullptr || className != QLatin1String(StateButton::staticMetaObject.className())) {
        return nullptr;
    }
    return new StateButtonAccessible(button);
}

}  // namespace

StateButton::StateButton(QWidget* parent) : QToolButton(parent) {
    static const bool pressedByReaders = (QAccessible::installFactory(&CreateStateButtonAccessible), true);
    Q_UNUSED(pressedByReaders);
}
