#pragma once

#include <Qt>

class QFont;
class QLabel;
class QLineEdit;
class QPoint;
class QPushButton;
class QRect;
class QString;
class QWidget;

// The controls the fixed-layout dialogs are built of, each named for tests and placed by pixels.

// A titled box with a close button and nothing to resize or maximise.
Qt::WindowFlags FixedDialogFlags();

// The dialogs were drawn for Arial; the installed metric-compatible face takes its place.
QFont ArialPoints(int points, bool bold = false);
QFont ArialPixels(int pixels, bool bold = false);

// Captions are never markup. The first is sized to its text, the second to the place given, or
// wider where its text needs more.
QLabel* AddCaption(QWidget& dialog, const char* name, const QString& text, const QPoint& at);
QLabel* AddCaption(QWidget& dialog, const char* name, const QString& text, const QRect& place);

// A field named by its caption: a screen reader reads the caption as the field's name.
QLineEdit* AddField(QWidget& dialog, const char* name, const QRect& place, QLabel* caption = nullptr);

QPushButton* AddButton(QWidget& dialog, const char* name, const QString& caption, const QRect& place);
