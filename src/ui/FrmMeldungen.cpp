#include "FrmMeldungen.h"

#include "KeyboardAccess.h"
#include "ScreenFit.h"
#include "lang/Lng.h"
#include "model/NotificationLog.h"
#include "model/TankController.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace
{
using Kind = NotificationLog::Kind;

QString kindText(Kind k, const Texts &texts)
{
    switch (k) {
    case Kind::AlarmStarted:
        return texts(841);
    case Kind::AlarmEnded:
        return texts(842);
    case Kind::Fault:
        return texts(843);
    case Kind::FaultEnded:
        return texts(844);
    case Kind::Silent:
        return texts(845);
    case Kind::SilentEnded:
        return texts(846);
    case Kind::LinkLost:
        return texts(847);
    case Kind::LinkBack:
        return texts(848);
    case Kind::EmailFailed:
        return texts(849);
    case Kind::MqttProblem:
        return texts(850);
    case Kind::MqttBack:
        return texts(851);
    case Kind::LossStarted:
        return texts(1103);
    case Kind::LossEnded:
        return texts(1104);
    case Kind::Message:
        return texts(852);
    }
    return {};
}
} // namespace

frmMeldungen::frmMeldungen(NotificationLog &log, const TankController &tanks, const Texts &texts,
                           QWidget *parent)
    : QDialog(parent), log_(log), tanks_(tanks), texts_(texts)
{
    setObjectName(QStringLiteral("frmMeldungen"));
    setWindowTitle(texts_(832));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("lstMeldungen"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHeaderLabels({texts_(833), texts_(834), texts_(835), texts_(836)});
    list_->header()->setStretchLastSection(true);
    // Time, tank and kind are short: whole, always; the message takes the rest.
    for (int c = 0; c < 3; ++c)
        list_->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);

    cmdQuittieren_ = new QPushButton(texts_(837), this);
    cmdQuittieren_->setObjectName(QStringLiteral("cmdQuittieren"));
    cmdAlleQuittieren_ = new QPushButton(texts_(838), this);
    cmdAlleQuittieren_->setObjectName(QStringLiteral("cmdAlleQuittieren"));
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(cmdQuittieren_, QDialogButtonBox::ActionRole);
    buttons->addButton(cmdAlleQuittieren_, QDialogButtonBox::ActionRole);
    QPushButton *close = buttons->addButton(texts_(873), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdSchliessen"));

    lblLeer_ = new QLabel(texts_(1386), this);
    lblLeer_->setObjectName(QStringLiteral("lblLeer"));
    lblLeer_->setWordWrap(true);
    lblLeer_->setAlignment(Qt::AlignCenter);

    auto *v = new QVBoxLayout(this);
    v->addWidget(list_, 1);
    v->addWidget(lblLeer_, 1);
    v->addWidget(buttons);

    connect(cmdQuittieren_, &QPushButton::clicked, this, [this] {
        for (QTreeWidgetItem *item : list_->selectedItems())
            log_.acknowledge(item->data(0, Qt::UserRole).toLongLong());
    });
    connect(cmdAlleQuittieren_, &QPushButton::clicked, &log_, &NotificationLog::acknowledgeAll);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    connect(&log_, &NotificationLog::changed, this, &frmMeldungen::rebuild);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &frmMeldungen::updateButtons);
    rebuild();
    FitToScreen(this, QSize(820, 420));
    AssignAccessKeys(this);
}

frmMeldungen *frmMeldungen::Open(QPointer<frmMeldungen> &keep, NotificationLog &log,
                                 const TankController &tanks, const Texts &texts, QWidget *parent)
{
    if (!keep) {
        keep = new frmMeldungen(log, tanks, texts, parent);
        keep->setAttribute(Qt::WA_DeleteOnClose);
    }
    keep->show();
    keep->raise();
    keep->activateWindow();
    return keep;
}

void frmMeldungen::rebuild()
{
    QList<qint64> selected;
    for (QTreeWidgetItem *item : list_->selectedItems())
        selected << item->data(0, Qt::UserRole).toLongLong();
    list_->clear();
    const QLocale loc = texts_.locale();
    const auto &events = log_.events();
    QList<QTreeWidgetItem *> items;
    for (auto it = events.rbegin(); it != events.rend(); ++it) {
        const NotificationLog::Event &e = *it;
        const QString tank = !e.tankLabel.isEmpty() ? e.tankLabel
                             : e.tank > 0           ? tanks_.label(e.tank)
                                                    : QString();
        auto *item = new QTreeWidgetItem(
            {loc.toString(e.time, QLocale::ShortFormat), tank, kindText(e.kind, texts_), e.text});
        item->setData(0, Qt::UserRole, e.id);
        item->setToolTip(3, e.text);
        item->setToolTip(0, loc.toString(e.time, QLocale::LongFormat));
        if (!e.acknowledged) {
            for (int c = 0; c < 4; ++c) {
                QFont f = item->font(c);
                f.setBold(true);
                item->setFont(c, f);
            }
        }
        if (NotificationLog::IsProblem(e.kind))
            item->setForeground(2, QColor(0xb7, 0x1c, 0x1c));
        items << item;
    }
    list_->addTopLevelItems(items);
    // An empty list says that there is nothing, rather than looking broken.
    list_->setVisible(!items.isEmpty());
    lblLeer_->setVisible(items.isEmpty());
    for (QTreeWidgetItem *item : std::as_const(items))
        if (selected.contains(item->data(0, Qt::UserRole).toLongLong()))
            item->setSelected(true);
    updateButtons();
}

void frmMeldungen::updateButtons()
{
    cmdQuittieren_->setEnabled(!list_->selectedItems().isEmpty());
    cmdAlleQuittieren_->setEnabled(log_.unacknowledged() > 0);
}
