#pragma once

class QWidget;

// Centres form over another window on the primary screen, kept at least 50 pixels inside its
// right and bottom edges and never left of or above its origin; the form's size is unchanged.
void CenterFormOver(QWidget& form, const QWidget& over);
