#include "ChartPlot.h"

namespace
{

// Date-time labels at the positions the chart logic chooses (calendar
// months, whole days, hours or minutes from the time base).
class CalendarTicker : public QCPAxisTickerDateTime
{
public:
    explicit CalendarTicker(const QCPAxis *axis) : axis_(axis) { setDateTimeSpec(Qt::UTC); }
    void setAxis(const TimeAxis &x)
    {
        x_ = x;
        setDateTimeFormat(x.format == QLatin1String("%d.%m.%y") ? QStringLiteral("dd.MM.yy")
                                                                : QStringLiteral("dd.MM.yy HH:mm"));
    }

protected:
    QVector<double> createTickVector(double, const QCPRange &range) override
    {
        TimeAxis x = x_;
        x.minimum = qint64(std::ceil(range.lower));
        x.maximum = qint64(std::floor(range.upper));
        // Room for a label and a gap: wider labels when the time is shown.
        const int labelPx = x.format.size() > 8 ? 110 : 70;
        const int maxTicks = std::max(2, axis_->axisRect()->width() / labelPx);
        QVector<double> ticks;
        for (qint64 t : TimeTicks(x, maxTicks))
            ticks.append(double(t));
        return ticks;
    }
    int getSubTickCount(double) override { return 0; }

private:
    const QCPAxis *axis_;
    TimeAxis x_;
};

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
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    legend->setFont(small);
    legend->setBrush(QColor(255, 255, 255, 210));
    legend->setBorderPen(QPen(QColor(160, 160, 160)));
    axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
}

void ChartPlot::showPicture(const ChartPicture &picture, bool draw)
{
    clearGraphs();
    for (const ChartSeries &s : picture.series) {
        QCPGraph *g = addGraph();
        const QColor colour = rgb(s.colour);
        g->setPen(QPen(colour, 1));
        g->setScatterStyle(QCPScatterStyle(MarkerShape(s.marker), colour, colour, 6));
        g->setName(s.name);
        g->data()->set(graphData(s), true);
    }
    // Which line is which tank, while a legend still fits beside the lines.
    legend->setVisible(!picture.placeholder && picture.series.size() >= 2 &&
                       picture.series.size() <= size_t(kMostLegendEntries));
    static_cast<CalendarTicker *>(xAxis->ticker().data())->setAxis(picture.x);
    xAxis->setRange(double(picture.x.minimum), double(picture.x.maximum));
    yAxis->setRange(picture.y.minimum, picture.y.maximum);
    yAxis->setLabel(picture.y.title);
    if (draw)
        replot();
    else
        updateLayout();
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
