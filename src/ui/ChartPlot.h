#pragma once
#include "chart/ChartData.h"
#include "chart/ChartNavigation.h"

#include <qcustomplot.h>

// The history chart's drawing surface: one graph per tank with its colour
// and marker, the date-time axis with calendar labels, the value axis with
// its title. It draws what the chart logic hands over and converts between
// pixels and data coordinates; it keeps no chart state of its own.
class ChartPlot : public QCustomPlot
{
    Q_OBJECT
public:
    explicit ChartPlot(QWidget *parent = nullptr);

    // Replaces graphs and axes with the picture and replots at once; without
    // draw only lays the plot out (an image export draws it itself). Each
    // unit gets its own value axis: the first on the left, the second on the
    // right, further ones outside them.
    void showPicture(const ChartPicture &picture, bool draw = true);
    // Time labels in this locale's language and forms.
    void setLabelLocale(const QLocale &locale);
    // Draws series i (of the last picture) wider; -1: none.
    void highlight(int series);
    // Adds points to the graphs (one series per graph, in order) and shows
    // the times first..last: the fast path while the view is dragged.
    void panTo(const std::vector<ChartSeries> &added, qint64 first, qint64 last);
    // The plot area in widget pixels, as laid out by the last replot.
    PlotRect plotRect() const;
    // Data coordinates of a widget pixel position (values of the first axis).
    double timeAt(int x) const;
    double valueAt(int y) const;
    // Where the last picture's data lie in widget pixels.
    PlotMapping mapping() const;

    // The scatter shape drawn for a marker code (1 = none).
    static QCPScatterStyle::ScatterShape MarkerShape(int code);

private:
    std::vector<QCPAxis *> valueAxes_; // by ChartPicture::y
    int highlighted_ = -1;
};
