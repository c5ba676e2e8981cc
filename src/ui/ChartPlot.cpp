#include "ChartPlot.h"

namespace
{

// Date-time labels at the positions and with the texts the chart logic
// chooses for the axis' width.
class CalendarTicker : public QCPAxisTicker
{
public:
    explicit CalendarTicker(const QCPAxis *axis) : axis_(axis) {}
    void setAxis(const TimeAxis &x) { x_ = x; }
    void setLocale(const QLocale &locale) { locale_ = locale; }

protected:
    QVector<double> createTickVector(double, const QCPRange &range) override
    {
        TimeAxis x = x_;
        x.minimum = qint64(std::ceil(range.lower));
        x.maximum = qint64(std::floor(range.upper));
        // Room for a label such as "30. Sep. 2026" and a gap.
        const int labelPx =
            QFontMetrics(axis_->tickLabelFont()).horizontalAdvance(QStringLiteral("30. MMM. 2026")) + 16;
        const int maxTicks = axis_->axisRect()->width() / std::max(1, labelPx);
        QVector<double> ticks;
        texts_.clear();
        for (const TimeTick &t : TimeTicks(x, maxTicks, locale_)) {
            ticks.append(double(t.t));
            texts_.insert(t.t, t.text);
        }
        return ticks;
    }
    QString getTickLabel(double tick, const QLocale &, QChar, int) override
    {
        return texts_.value(qint64(tick));
    }
    int getSubTickCount(double) override { return 0; }

private:
    const QCPAxis *axis_;
    TimeAxis x_;
    QLocale locale_;
    QHash<qint64, QString> texts_;
};

// Lines wide enough to tell their colours apart.
constexpr int kLineWidth = 2;

QVector<QCPGraphData> graphData(const ChartSeries &s)
{
    QVector<QCPGraphData> data(qsizetype(s.keys.size()));
    for (size_t i = 0; i < s.keys.size(); ++i)
        data[qsizetype(i)] = QCPGraphData(s.keys[i], s.values[i]);
    return data;
}

QColor rgb(quint32 c)
{
    return QColor(int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF));
}

} // namespace

QCPScatterStyle::ScatterShape ChartPlot::MarkerShape(int code)
{
    // One distinct shape for each code of the tank groups; 1 means none.
    static const QCPScatterStyle::ScatterShape kShapes[] = {
        QCPScatterStyle::ssNone,             // 0 (unused)
        QCPScatterStyle::ssNone,             // 1
        QCPScatterStyle::ssSquare,           // 2
        QCPScatterStyle::ssDisc,             // 3
        QCPScatterStyle::ssTriangle,         // 4
        QCPScatterStyle::ssDiamond,          // 5
        QCPScatterStyle::ssStar,             // 6
        QCPScatterStyle::ssPeace,            // 7
        QCPScatterStyle::ssDot,              // 8 (unused)
        QCPScatterStyle::ssCross,            // 9
        QCPScatterStyle::ssCircle,           // 10
        QCPScatterStyle::ssCrossSquare,      // 11
        QCPScatterStyle::ssTriangleInverted, // 12
        QCPScatterStyle::ssPlus,             // 13
        QCPScatterStyle::ssPlusSquare,       // 14
        QCPScatterStyle::ssCrossCircle,      // 15
        QCPScatterStyle::ssPlusCircle,       // 16
    };
    return code >= 0 && code < int(std::size(kShapes)) ? kShapes[code] : QCPScatterStyle::ssSquare;
}

ChartPlot::ChartPlot(QWidget *parent) : QCustomPlot(parent)
{
    // Lines of half a million points stay fluid without antialiasing.
    setNotAntialiasedElements(QCP::aePlottables);
    setPlottingHint(QCP::phFastPolylines, true);
    xAxis->setTicker(QSharedPointer<CalendarTicker>::create(xAxis));
    xAxis->grid()->setPen(QPen(QColor(170, 170, 170), 0, Qt::DotLine));
    yAxis->grid()->setPen(QPen(QColor(200, 200, 200), 0, Qt::DotLine));
    setBackground(rgb(kChartBackground));
    valueAxes_.push_back(yAxis);
}

void ChartPlot::setLabelLocale(const QLocale &locale)
{
    static_cast<CalendarTicker *>(xAxis->ticker().data())->setLocale(locale);
}

void ChartPlot::showPicture(const ChartPicture &picture, bool draw)
{
    clearGraphs();
    highlighted_ = -1;
    // The value axes: the left and the right one stay, the others are made anew.
    for (size_t k = 2; k < valueAxes_.size(); ++k)
        axisRect()->removeAxis(valueAxes_[k]);
    valueAxes_.resize(1);
    yAxis2->setVisible(false);
    for (size_t k = 0; k < picture.y.size(); ++k) {
        QCPAxis *axis = yAxis;
        if (k == 1) {
            axis = yAxis2;
            axis->setVisible(true);
        } else if (k > 1) {
            axis = axisRect()->addAxis(k % 2 ? QCPAxis::atRight : QCPAxis::atLeft);
            axis->grid()->setVisible(false);
        }
        if (k > 0)
            valueAxes_.push_back(axis);
        axis->setRange(picture.y[k].minimum, picture.y[k].maximum);
        axis->setLabel(picture.y[k].title);
    }
    if (picture.y.empty())
        yAxis->setLabel(QString());
    for (const ChartSeries &s : picture.series) {
        QCPAxis *axis = size_t(s.axis) < valueAxes_.size() ? valueAxes_[size_t(s.axis)] : yAxis;
        QCPGraph *g = addGraph(xAxis, axis);
        const QColor colour = rgb(s.colour);
        g->setPen(QPen(colour, kLineWidth));
        g->setScatterStyle(QCPScatterStyle(MarkerShape(s.marker), colour, colour, 6));
        g->setName(picture.y.size() > 1 && size_t(s.axis) < picture.y.size()
                       ? s.name + QStringLiteral(" (") + picture.y[size_t(s.axis)].title + QLatin1Char(')')
                       : s.name);
        g->data()->set(graphData(s), true);
    }
    static_cast<CalendarTicker *>(xAxis->ticker().data())->setAxis(picture.x);
    xAxis->setRange(double(picture.x.minimum), double(picture.x.maximum));
    if (draw)
        replot();
    else
        updateLayout();
}

void ChartPlot::highlight(int series)
{
    if (highlighted_ >= 0 && highlighted_ < graphCount()) {
        QPen pen = graph(highlighted_)->pen();
        pen.setWidth(kLineWidth);
        graph(highlighted_)->setPen(pen);
    }
    highlighted_ = series >= 0 && series < graphCount() ? series : -1;
    if (highlighted_ >= 0) {
        QPen pen = graph(highlighted_)->pen();
        pen.setWidth(kLineWidth + 2);
        graph(highlighted_)->setPen(pen);
    }
    replot();
}

PlotMapping ChartPlot::mapping() const
{
    const auto linear = [](const QCPAxis *axis) {
        const QCPRange r = axis->range();
        const double a = axis->coordToPixel(r.lower), b = axis->coordToPixel(r.upper);
        const double scale = r.size() != 0 ? (b - a) / r.size() : 0;
        return LinearMap{a - r.lower * scale, scale};
    };
    PlotMapping m{linear(xAxis), {}};
    for (const QCPAxis *axis : valueAxes_)
        m.y.push_back(linear(axis));
    return m;
}

void ChartPlot::panTo(const std::vector<ChartSeries> &added, qint64 first, qint64 last)
{
    for (size_t i = 0; i < added.size() && int(i) < graphCount(); ++i)
        graph(int(i))->data()->add(graphData(added[i]), true);
    xAxis->setRange(double(first), double(last));
    replot();
}

PlotRect ChartPlot::plotRect() const
{
    const QRect r = axisRect()->rect();
    return {r.left(), r.top(), r.right(), r.bottom()};
}

double ChartPlot::timeAt(int x) const
{
    return xAxis->pixelToCoord(x);
}
double ChartPlot::valueAt(int y) const
{
    return yAxis->pixelToCoord(y);
}
