#pragma once
#include <QDialog>

class QLabel;
class QListWidget;

// The language selection: the languages in their fixed order; a double-click
// in the list chooses the current entry (chosen) and closes the dialog. Nothing is
// stored here.
class frmSelectLng : public QDialog
{
    Q_OBJECT
public:
    explicit frmSelectLng(QWidget *parent = nullptr);

    QLabel *lbl;
    QListWidget *lst;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void chosen(int lngId);
};
