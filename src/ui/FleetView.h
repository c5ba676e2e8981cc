#pragma once
#include <QWidget>

class FleetFilter;
class FleetModel;
class Texts;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

// The fleet view: every tank in one compact, sortable row, a name filter
// above. Double-click or Enter on a row asks for the tank in the detail view.
// With remote sites (a central installation) a site column, a choice of
// site and "only with a warning" join the filter.
class FleetView : public QWidget
{
    Q_OBJECT
public:
    // The model stays the caller's.
    FleetView(FleetModel &model, const Texts &texts, QWidget *parent = nullptr);

    QTableView *table() const { return table_; }
    FleetFilter *filter() const { return filter_; }

signals:
    void deviceActivated(int n);
    // From a row's context menu: the tank's chart or consumption table
    // (site "" for an own tank); a remote site's tank double-clicked or
    // chosen with Enter wants its chart.
    void chartWanted(const QString &site, int n);
    void tableWanted(const QString &site, int n);

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void activateRow(const QModelIndex &index);
    void updateSummary();
    void fitRows();
    void sitesShown();

    FleetModel &model_;
    const Texts &texts_; // the run's
    FleetFilter *filter_;
    QLineEdit *txtFilter_;
    QLabel *lblSite_;
    QComboBox *cboSite_;
    QCheckBox *chkAttention_;
    QLabel *lblSummary_;
    QTableView *table_;
};
