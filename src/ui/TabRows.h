#pragma once
#include <QWidget>

class QButtonGroup;
class QGridLayout;
class QTabWidget;

// The tab control's captions in rows, as many per row as the overview rule
// asks, so that with 56 tanks every tab stays in sight (a single scrolling
// tab bar would push "Details" out of view). The QTabWidget keeps the tabs,
// their captions and visibility; this strip shows them and switches pages.
class TabRows : public QWidget {
    Q_OBJECT
public:
    explicit TabRows(QTabWidget *tabs, QWidget *parent = nullptr);
    // Rebuilds the buttons from the tab widget's visible tabs.
    void sync(int perRow);
    int perRow() const { return perRow_; }

private:
    void showCurrent(int index);

    QTabWidget *tabs_;
    QGridLayout *grid_;
    QButtonGroup *group_;
    int perRow_ = 1;
};
