#pragma once
#include <QDialog>
#include <QPointer>

class NotificationLog;
class QLabel;
class Texts;
class QPushButton;
class QTreeWidget;
class TankController;

// The notifications list: what happened, newest first, with time, tank,
// kind and text; the ones not yet acknowledged in bold. Not modal; one at a
// time (Open).
class frmMeldungen : public QDialog
{
    Q_OBJECT
public:
    frmMeldungen(NotificationLog &log, const TankController &tanks, const Texts &texts,
                 QWidget *parent = nullptr);

    // Shows the one list window, making it first.
    static frmMeldungen *Open(QPointer<frmMeldungen> &keep, NotificationLog &log, const TankController &tanks,
                              const Texts &texts, QWidget *parent);
    QTreeWidget *list() const { return list_; }

private:
    void rebuild();
    void updateButtons();

    NotificationLog &log_;
    const TankController &tanks_;
    const Texts &texts_; // the run's
    QTreeWidget *list_;
    QLabel *lblLeer_; // in place of the list while it is empty
    QPushButton *cmdQuittieren_;
    QPushButton *cmdAlleQuittieren_;
};
