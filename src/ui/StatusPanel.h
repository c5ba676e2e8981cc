#pragma once
#include "ElidedLabel.h"

class QProgressBar;

// One panel of the main window's status bar: a text that reports clicks,
// and (on panel 3) the reception progress bar laid over it. A text longer
// than the panel ends in "…" and shows whole as the tooltip.
class StatusPanel : public ElidedLabel
{
    Q_OBJECT
public:
    StatusPanel(int number, QWidget *parent = nullptr);
    int number() const { return number_; }

    // Shows the bar over the panel with value elapsed of limit.
    void showProgress(double elapsed, double limit);
    void hideProgress();
    QProgressBar *progressBar() const { return bar_; }

signals:
    void clicked(int panel);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    int number_;
    QProgressBar *bar_ = nullptr;
};
