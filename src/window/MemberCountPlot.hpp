#pragma once

#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "journal/JournalTypes.hpp"

// The total and online members over a span of time, drawn on QPainter, with the connection's
// losses marked; the values nearest the pointer show as it moves. However many samples the span
// holds, each pixel column draws its lowest and highest value once, so a month of minute samples
// costs no more than the plot's width.
class MemberCountPlot : public QWidget {
    Q_OBJECT

public:
    explicit MemberCountPlot(QWidget* parent = nullptr);

    // points oldest first.
    void SetData(std::vector<MemberCountPoint> points, std::vector<JournalTime> losses, JournalTime from,
                 JournalTime to);
    size_t PointCount() const { return points_.size(); }
    // What the plot says of the sample nearest to x, in the plot's coordinates; empty without one.
    QString ValuesAt(int x) const;

    QSize sizeHint() const override { return {640, 320}; }
    QSize minimumSizeHint() const override { return {240, 140}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRect PlotArea() const;
    double XOf(JournalTime time, const QRect& area) const;
    std::optional<size_t> NearestPoint(int x) const;

    std::vector<MemberCountPoint> points_;
    std::vector<JournalTime> losses_;
    JournalTime from_{};
    JournalTime to_{};
    int64_t highest_ = 1;
    std::optional<size_t> hovered_;
};
