#pragma once

class QString;
class QWidget;

// The program's message boxes, each modal over parent.

// No icon, an OK button, the application's title.
void ShowPlainMessage(QWidget* parent, const QString& text);
// Question icon, title "Confirm", OK and Cancel; true only for OK.
bool AskConfirmation(QWidget* parent, const QString& text);
// Warning icon, title "Warning", OK and Cancel; true only for OK.
bool AskWarning(QWidget* parent, const QString& text);
