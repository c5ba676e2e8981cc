#include "TankController.h"

// Skeleton: the evaluation sequence and the registry are being written.
TankController::TankController(QObject *parent) : QObject(parent) {}

void TankController::setHistoryHooks(HistoryHooks *h) { history_ = h ? h : &nullHistory_; }
void TankController::setEmailHooks(EmailHooks *e) { email_ = e ? e : &nullEmail_; }
bool TankController::EvalTelegramm(const QByteArray &, const QString &) { return false; }
bool TankController::ProcessTelegram(const QByteArray &, const QString &, const QDateTime &) { return false; }
void TankController::LoadDeviceRecord(int) {}
void TankController::SaveDeviceRegistry() {}
void TankController::AddDevice(int) {}
void TankController::ComboSN_Click(int) {}
void TankController::setTankName(const QString &) {}
void TankController::setUnit(int) {}
