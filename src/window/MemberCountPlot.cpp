#include "window/MemberCountPlot.hpp"

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kLeftMargin = 56;
constexpr int kRightMargin = 12;
constexpr int kTopMargin = 24;
constexpr int kBottomMargin = 28;
constexpr int kGridLines = 4;

const QColor kTotalColour(31, 97, 170);
const QColor kOnlineColour(46, 150, 60);
const QColor kLossColour(200, 40, 40);

QString TimeText(JournalTime time, const char* format) {
    return QDateTime::fromMSecsSinceEpoch(time.time_since_epoch().count()).toString(QLatin1String(format));
}

// A round step for the value axis: 1, 2 or 5 times a power of ten.
int64_t NiceStep(int64_t highest, int lines) {
    const double raw = std::max(1.0, static_cast<double>(highest) / lines);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (raw <= factor * power) {
            return static_cast<int64_t>(factor * power);
        }
    }
    return static_cast<int64_t>(10 * power);
}

// Lowest and highest of one series in each pixel column, joined column to column.
struct Column {
    int64_t low = 0;
    int64_t high = 0;
    int64_t firstValue = 0;  // of the column's oldest sample, where the line from the one before ends
    int64_t lastValue = 0;   // of its newest, where the line to the next one starts
    JournalTime first{};
    JournalTime last{};
    bool used = false;
};

constexpr int kTimeTicks = 6;

}  // namespace

MemberCountPlot::MemberCountPlot(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void MemberCountPlot::SetData(std::vector<MemberCountPoint> points, std::vector<JournalTime> losses,
                              JournalTime from, JournalTime to) {
    points_ = std::move(points);
    losses_ = std::move(losses);
    from_ = from;
    to_ = to;
    highest_ = 1;
    for (const MemberCountPoint& point : points_) {
        highest_ = std::max({highest_, point.total, point.online});
    }
    hovered_.reset();
    update();
}

QRect MemberCountPlot::PlotArea() const {
    return rect().adjusted(kLeftMargin, kTopMargin, -kRightMargin, -kBottomMargin);
}

double MemberCountPlot::XOf(JournalTime time, const QRect& area) const {
    const double span = std::max<int64_t>(1, (to_ - from_).count());
    return area.left() + static_cast<double>((time - from_).count()) / span * (area.width() - 1);
}

std::optional<size_t> MemberCountPlot::NearestPoint(int x) const {
    if (points_.empty()) {
        return std::nullopt;
    }
    const QRect area = PlotArea();
    const double span = std::max<int64_t>(1, (to_ - from_).count());
    const auto at =
        from_ +
        std::chrono::milliseconds(static_cast<int64_t>(
            (std::clamp(x, area.left(), area.right()) - area.left()) * span / std::max(1, area.width() - 1)));
    const auto after =
        std::lower_bound(points_.begin(), points_.end(), at,
                         [](const MemberCountPoint& point, JournalTime time) { return point.time < time; });
    size_t index = static_cast<size_t>(after - points_.begin());
    if (index == points_.size() || (index > 0 && at - points_[index - 1].time < points_[index].time - at)) {
        --index;
    }
    return index;
}

QString MemberCountPlot::ValuesAt(int x) const {
    const std::optional<size_t> nearest = NearestPoint(x);
    if (!nearest) {
        return {};
    }
    const MemberCountPoint& point = points_[*nearest];
    return QStringLiteral("%1\n%2 members, %3 online")
        .arg(TimeText(point.time, "yyyy-MM-dd HH:mm:ss"))
        .arg(point.total)
        .arg(point.online);
}

void MemberCountPlot::mouseMoveEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    hovered_ = NearestPoint(x);
    const QString text = ValuesAt(x);
    if (text.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(event->globalPosition().toPoint(), text, this);
    }
    update();
}

void MemberCountPlot::leaveEvent(QEvent* /*event*/) {
    hovered_.reset();
    update();
}

void MemberCountPlot::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRect area = PlotArea();
    if (area.width() < 2 || area.height() < 2) {
        return;
    }
    const int64_t step = NiceStep(highest_, kGridLines);
    const int64_t top = std::max<int64_t>(step, (highest_ + step - 1) / step * step);
    const auto yOf = [&](int64_t value) {
        return area.bottom() - static_cast<double>(value) / static_cast<double>(top) * (area.height() - 1);
    };

    // Grid and axes.
    painter.setPen(QPen(palette().mid().color(), 1, Qt::DotLine));
    painter.setFont(font());
    for (int64_t value = 0; value <= top; value += step) {
        const int y = static_cast<int>(std::lround(yOf(value)));
        painter.drawLine(area.left(), y, area.right(), y);
        painter.setPen(palette().text().color());
        painter.drawText(QRect(0, y - 8, kLeftMargin - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(value));
        painter.setPen(QPen(palette().mid().color(), 1, Qt::DotLine));
    }
    painter.setPen(palette().text().color());
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    const bool days = (to_ - from_) > std::chrono::hours(24);
    const char* timeFormat = days ? "MM-dd HH:mm" : "HH:mm";
    for (int tick = 0; tick <= kTimeTicks; ++tick) {
        const JournalTime at = from_ + (to_ - from_) * tick / kTimeTicks;
        const int x = static_cast<int>(std::lround(XOf(at, area)));
        painter.drawLine(x, area.bottom(), x, area.bottom() + 3);
        const Qt::Alignment align = tick == 0            ? Qt::AlignLeft
                                    : tick == kTimeTicks ? Qt::AlignRight
                                                         : Qt::AlignHCenter;
        const int left = tick == 0 ? x : tick == kTimeTicks ? x - 160 : x - 80;
        painter.drawText(QRect(left, area.bottom() + 5, 160, 20), align, TimeText(at, timeFormat));
    }

    // The losses, behind the lines.
    painter.setPen(QPen(kLossColour, 1, Qt::DashLine));
    for (const JournalTime loss : losses_) {
        if (loss >= from_ && loss <= to_) {
            const int x = static_cast<int>(std::lround(XOf(loss, area)));
            painter.drawLine(x, area.top(), x, area.bottom());
        }
    }

    // Samples further apart than this are not joined: the journal heard nothing in between.
    const auto gap = std::max<std::chrono::milliseconds>(
        std::chrono::minutes(3), points_.size() < 2 ? std::chrono::milliseconds(0)
                                                    : (points_.back().time - points_.front().time) * 3 /
                                                          static_cast<int64_t>(points_.size() - 1));
    // Each series: one vertical stroke per pixel column from its lowest to its highest value,
    // joined to the next column used unless the samples stopped between them.
    const auto drawSeries = [&](const QColor& colour, int64_t MemberCountPoint::*value) {
        std::vector<Column> columns(static_cast<size_t>(area.width()));
        for (const MemberCountPoint& point : points_) {
            const int x = static_cast<int>(XOf(point.time, area)) - area.left();
            if (x < 0 || x >= area.width()) {
                continue;
            }
            Column& column = columns[static_cast<size_t>(x)];
            const int64_t v = point.*value;
            column.low = column.used ? std::min(column.low, v) : v;
            column.high = column.used ? std::max(column.high, v) : v;
            column.first = column.used ? column.first : point.time;
            column.firstValue = column.used ? column.firstValue : v;
            column.last = point.time;
            column.lastValue = v;
            column.used = true;
        }
        // A cosmetic pen of one pixel draws straight lines without the stroker: a month of
        // samples costs a few thousand segments.
        painter.setPen(QPen(colour, 0));
        std::vector<QLineF> lines;
        lines.reserve(columns.size() * 2);
        const Column* previous = nullptr;
        double previousX = 0;
        for (size_t x = 0; x < columns.size(); ++x) {
            const Column& column = columns[x];
            if (!column.used) {
                continue;
            }
            const double px = area.left() + static_cast<double>(x);
            if (previous != nullptr && column.first - previous->last <= gap) {
                lines.emplace_back(QPointF(previousX, yOf(previous->lastValue)),
                                   QPointF(px, yOf(column.firstValue)));
            }
            lines.emplace_back(QPointF(px, yOf(column.high)), QPointF(px, yOf(column.low)));
            previous = &column;
            previousX = px;
        }
        painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    };
    painter.setRenderHint(QPainter::Antialiasing, false);
    drawSeries(kTotalColour, &MemberCountPoint::total);
    drawSeries(kOnlineColour, &MemberCountPoint::online);

    // The legend.
    int legendX = area.left() + 4;
    const auto legend = [&](const QColor& colour, const QString& text) {
        painter.fillRect(QRect(legendX, 8, 14, 4), colour);
        painter.setPen(palette().text().color());
        painter.drawText(QPoint(legendX + 18, 14), text);
        legendX += 26 + painter.fontMetrics().horizontalAdvance(text);
    };
    legend(kTotalColour, QStringLiteral("members"));
    legend(kOnlineColour, QStringLiteral("online"));
    legend(kLossColour, QStringLiteral("connection lost"));
    if (points_.empty()) {
        painter.setPen(palette().text().color());
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("No member counts in this span"));
    }

    if (hovered_ && *hovered_ < points_.size()) {
        const MemberCountPoint& point = points_[*hovered_];
        const double x = XOf(point.time, area);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(palette().text().color(), 1, Qt::DotLine));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.setBrush(kTotalColour);
        painter.drawEllipse(QPointF(x, yOf(point.total)), 3, 3);
        painter.setBrush(kOnlineColour);
        painter.drawEllipse(QPointF(x, yOf(point.online)), 3, 3);
    }
}
