#pragma once

#include <initializer_list>

class QLineEdit;
class QWidget;

// The two looks of a dialog field: open (white, editable) or locked (grey, read-only).
void SetFieldOpen(QLineEdit& field, bool open);
bool FieldIsOpen(const QLineEdit& field);

// Shows every character of the field as "*", whatever the style's own mask character is.
void MaskWithStars(QLineEdit& field);

// Keyboard order through the controls, in the order given.
void SetTabChain(std::initializer_list<QWidget*> controls);
