#pragma once

#include <QLabel>

class QKeyEvent;
class QMouseEvent;
class QPaintEvent;

// A small picture that reacts to a click like a link: hand cursor, tooltip, clicked signal. It is
// reached with Tab and opened with Space or Enter as well, and shows a focus frame once the
// keyboard has moved the focus.
class ClickablePicture : public QLabel {
    Q_OBJECT

public:
    explicit ClickablePicture(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
