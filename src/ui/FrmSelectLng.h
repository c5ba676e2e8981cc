#pragma once
#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

// The language selection: the languages in their fixed order; a double-click
// in the list, Enter or OK chooses the current entry (chosen) and closes the
// dialog. Nothing is stored here.
class frmSelectLng : public QDialog
{
    Q_OBJECT
public:
    explicit frmSelectLng(QWidget *parent = nullptr);

    QLabel *lbl;
    QListWidget *lst;
    QPushButton *cmdOk;

private:
    void choose();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void chosen(int lngId);
};
