#pragma once

#include <Qt>

class QKeySequence;
class QShortcut;
class QWidget;

// A named shortcut on owner, found by its name as every control is.
QShortcut* AddShortcut(QWidget* owner, const char* name, const QKeySequence& keys,
                       Qt::ShortcutContext context);
