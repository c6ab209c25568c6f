#pragma once

#include <QLabel>

class QMouseEvent;

// A small picture that reacts to a click like a link: hand cursor, tooltip, clicked signal.
class ClickablePicture : public QLabel {
    Q_OBJECT

public:
    explicit ClickablePicture(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
