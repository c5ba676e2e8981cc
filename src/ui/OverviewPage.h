#pragma once
#include <QMap>
#include <QPointer>
#include <QScrollArea>

class OverviewEntry;

// One overview tab: up to four entries side by side; a narrow window puts
// fewer in a row and the page scrolls, so no entry is squeezed or cut.
class OverviewPage : public QScrollArea
{
    Q_OBJECT
public:
    explicit OverviewPage(int tab, QWidget *parent = nullptr);
    // Puts e in slot 0..3 (left to right, top to bottom).
    void addEntry(OverviewEntry *e, int slot);
    int columns() const { return columns_; }
    QSize minimumSizeHint() const override;

protected:
    bool viewportEvent(QEvent *e) override;

private:
    void reflow();

    QWidget *inner_;
    QMap<int, QPointer<OverviewEntry>> slots_; // entries are deleted by the display
    int columns_ = 0;
};
