#include "window/Shortcuts.hpp"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

QShortcut* AddShortcut(QWidget* owner, const char* name, const QKeySequence& keys,
                       Qt::ShortcutContext context) {
    auto* shortcut = new QShortcut(keys, owner);
    shortcut->setObjectName(QLatin1String(name));
    shortcut->setContext(context);
    return shortcut;
}
