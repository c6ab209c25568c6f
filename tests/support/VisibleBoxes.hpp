#pragma once

#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QWidget>

// The message boxes on screen now, modal or not: a test counts them to catch a pile of boxes.
inline QList<QMessageBox*> VisibleBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) {
            boxes << box;
        }
    }
    return boxes;
}
