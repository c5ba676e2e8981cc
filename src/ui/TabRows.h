#pragma once
#include "model/TankState.h"

#include <QHash>
#include <QWidget>

class QButtonGroup;
class QTabWidget;
class QToolButton;

// The tab control's captions in rows, as many per row as the overview rule
// asks, so that with 56 tanks every tab stays in sight (a single scrolling
// tab bar would push "Details" out of view). A narrow window puts fewer in
// a row and adds rows: no caption is ever cut. The QTabWidget keeps the
// tabs, their captions and visibility; this strip shows them and switches
// pages. A tab holding a tank that is not ok carries the mark of the worst
// condition on it (its colour and sign). The
// keyboard treats the strip as a tab bar: Tab reaches the shown caption, the
// arrow keys move to the others.
class TabRows : public QWidget
{
    Q_OBJECT
public:
    explicit TabRows(QTabWidget *tabs, QWidget *parent = nullptr);
    // Rebuilds the buttons from the tab widget's visible tabs.
    void sync(int perRow);
    int perRow() const { return perRow_; }
    // Buttons in one row at the current width (at most perRow()).
    int columns() const { return columnsFor(width()); }
    // The worst condition of the tab's tanks; ok: no mark.
    void setMark(int tab, TankCondition worst);
    TankCondition mark(int tab) const { return marks_.value(tab, TankCondition::Ok); }
    // The buttons in the order shown (for the keyboard's Tab order).
    QList<QToolButton *> buttons() const { return buttons_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int w) const override;

signals:
    void buttonsRebuilt();

protected:
    void resizeEvent(QResizeEvent *e) override;

private:
    void showCurrent(int index);
    void place();
    void applyMark(QToolButton *b, TankCondition worst);
    int columnsFor(int w) const;
    int spanOf(const QToolButton *b, int cols) const;
    QList<QRect> cellsFor(int w) const;

    QTabWidget *tabs_;
    QButtonGroup *group_;
    QList<QToolButton *> buttons_;
    QHash<int, TankCondition> marks_;
    int perRow_ = 1;
    int cell_ = 0; // width of every button
};
