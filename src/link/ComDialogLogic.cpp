#include "ComDialogLogic.h"

#include "LinkManager.h"
#include "TcpLink.h"

#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"

#include <QPointer>

namespace
{
constexpr int kDefaultClientPort = 8000;

// Ends the wait cursor however the fill leaves.
struct WaitCursor {
    explicit WaitCursor(UiServices &ui) : ui(ui) { ui.setWaitCursor(true); }
    ~WaitCursor() { ui.setWaitCursor(false); }
    UiServices &ui;
};
} // namespace

ComDialogLogic::ComDialogLogic(LinkManager &link, RunSwitches &switches, Settings &settings, UiServices &ui,
                               const Texts &texts, QObject *parent)
    : QObject(parent), link_(link), switches_(switches), settings_(settings), ui_(ui), texts_(texts)
{
}

ComDialogLogic::Captions ComDialogLogic::captions(const Texts &texts)
{
    return {texts(65), texts(68), texts(69), texts(67), texts(66)};
}

void ComDialogLogic::Load()
{
    FillPortList();
    aktivCom_ = switches_.activeCom();
    aktivNet_ = switches_.activeNet();
    const qint64 p = settings_.readInt(Cfg::ClientPort);
    clientPort_ = p <= 0 || p > 99999 ? QString::number(kDefaultClientPort) : QString::number(p);
    clientAddress_ = settings_.read(Cfg::ClientAdresse).trimmed();
    emit fieldsChanged();
}

QString ComDialogLogic::entryDevice(int i) const
{
    return i >= 0 && i < devices_.size() ? devices_[i] : QString();
}

void ComDialogLogic::FillPortList()
{
    WaitCursor wait(ui_);
    // The port in use is found by its path first: its number may have moved.
    const int currentPort = link_.currentPort();
    const QString currentDevice = link_.currentDevice();
    ports_.clear();
    devices_.clear();
    int byPath = -1, byNumber = -1;
    const QList<PortInfo> list = link_.ports();
    if (!list.isEmpty())
        link_.CloseSerial();
    for (const PortInfo &p : list) {
        const int i = ports_.AddListItem(PortDirectory::EntryText(p, texts_), p.number);
        devices_.append(p.device);
        if (byPath < 0 && !currentDevice.isEmpty() && p.device == currentDevice)
            byPath = i;
        if (byNumber < 0 && p.number == currentPort)
            byNumber = i;
    }
    if (list.isEmpty()) {
        ports_.AddListItem(texts_(48), 0);
        devices_.append(QString());
    }
    const int selected = byPath >= 0 ? byPath : byNumber >= 0 ? byNumber : 0;
    emit listChanged();
    select(selected);
}

void ComDialogLogic::select(int index)
{
    ports_.setCurrentIndex(index);
    emit selectionChanged(ports_.currentIndex());
    link_.InitCOM(ports_.SelectedItemData(), entryDevice(ports_.currentIndex()));
}

std::optional<quint16> ComDialogLogic::PortNumber(const QString &text)
{
    bool ok = false;
    const int p = text.trimmed().toInt(&ok);
    if (!ok || p < 1 || p > 65535)
        return std::nullopt;
    return quint16(p);
}

void ComDialogLogic::Ok()
{
    // A port no listener can take is said, as --set says it, and nothing is
    // stored; the field may stay empty while TCP is off (the stored port stays).
    if ((aktivNet_ || !clientPort_.trimmed().isEmpty()) && !PortNumber(clientPort_)) {
        ui_.messageBox(QStringLiteral("Port: ") +
                           FormatText(texts_(519), {QStringLiteral("1"), QStringLiteral("65535")}),
                       QString(), MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    if (!ListenAddress(clientAddress_)) {
        ui_.messageBox(FormatText(texts_(1203), {clientAddress_.trimmed()}), QString(), MsgIcon::Exclamation,
                       MsgButtons::Ok);
        return;
    }
    if (aktivCom_ || aktivNet_) {
        apply();
        return;
    }
    // Nothing ticked reads no device at all: asked, not waited on in silence.
    QPointer<ComDialogLogic> self(this);
    ui_.messageBox(texts_(904), QString(), MsgIcon::Question, MsgButtons::YesNo, [self](MsgResult r) {
        if (self && r == MsgResult::Yes)
            self->apply();
    });
}

void ComDialogLogic::apply()
{
    settings_.write(Cfg::ActiveCom, aktivCom_ ? 1 : 0);
    settings_.write(Cfg::ActiveNet, aktivNet_ ? 1 : 0);
    if (const auto p = PortNumber(clientPort_))
        settings_.write(Cfg::ClientPort, *p);
    settings_.write(Cfg::ClientAdresse, clientAddress_.trimmed());
    const qint32 port = ports_.SelectedItemData();
    const QString device = entryDevice(ports_.currentIndex());
    settings_.write(Cfg::ComPort, qint64(port));
    settings_.write(Cfg::ComDevice, device);
    // The selection has put the link on this port already; a changed serial
    // switch reopens it there (the link manager follows the switches), an
    // unchanged one is reopened here.
    const bool reopened = aktivCom_ != switches_.activeCom();
    switches_.setActiveCom(aktivCom_);
    switches_.setActiveNet(aktivNet_);
    if (!reopened)
        link_.InitCOM(port, device);
    emit closeRequested();
}

void ComDialogLogic::Cancel()
{
    // The stored port, by its path when it is still listed.
    const QString stored = settings_.read(Cfg::ComDevice).trimmed();
    const int byPath = stored.isEmpty() ? -1 : int(devices_.indexOf(stored));
    if (byPath >= 0)
        ports_.setCurrentIndex(byPath);
    else
        ports_.SelectByItemData(settings_.readInt(Cfg::ComPort));
    select(ports_.currentIndex());
    emit closeRequested();
}
