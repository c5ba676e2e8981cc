#include "FrmMqtt.h"
#include "DialogButtons.h"
#include "SingleWindow.h"

#include "KeyboardAccess.h"

#include "core/TextHelpers.h"
#include "help/HelpTopics.h"
#include "lang/Lng.h"
#include "mqtt/MqttConnectionTest.h"
#include "mqtt/MqttDialogLogic.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

frmMqtt *frmMqtt::ShowDialog(QPointer<frmMqtt> &open, std::unique_ptr<MqttDialogLogic> logic, HelpFn help,
                             QWidget *parent)
{
    return ShowSingle(open, [&] { return new frmMqtt(std::move(logic), std::move(help), parent); });
}

frmMqtt::frmMqtt(std::unique_ptr<MqttDialogLogic> logic, HelpFn help, QWidget *parent)
    : QDialog(parent), logic_(std::move(logic)), help_(std::move(help))
{
    setObjectName(QStringLiteral("frmMqtt"));
    const Texts &t = logic_->texts();
    const MqttDialogLogic::Captions c = MqttDialogLogic::captions(t);
    const MqttValues &v = logic_->values;
    setWindowTitle(c.window);

    auto edit = [this](const char *name, const QString &text) {
        auto *e = new QLineEdit(text, this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    auto check = [this](const char *name, const QString &caption, bool on) {
        auto *b = new QCheckBox(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setChecked(on);
        return b;
    };
    auto *form = new QFormLayout;
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    addBrokerRows(this, form, c, v);
    txtTopic = edit("txtTopic", v.topic);
    chbxDiscovery = check("chbxDiscovery", c.discovery, v.discovery);
    txtPrefix = edit("txtPrefix", v.discoveryPrefix);
    CmdOk = new QPushButton(c.ok, this);
    CmdOk->setDefault(true);
    cmdCancel = new QPushButton(c.cancel, this);
    cmdHilfe = new QPushButton(c.help, this);
    cmdTest = new QPushButton(t(911), this);
    cmdTest->setObjectName(QStringLiteral("cmdTest"));
    lblTest = new QLabel(this);
    lblTest->setObjectName(QStringLiteral("lblTest"));
    lblTest->setWordWrap(true);
    lblTest->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The answer beside its button, with room for two lines from the start:
    // with the tanks' energy factors below, the dialog still fits 800 x 600.
    lblTest->setMinimumHeight(2 * lblTest->fontMetrics().lineSpacing() + 2);
    lblTest->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto *test = new QHBoxLayout;
    test->addWidget(cmdTest, 0, Qt::AlignTop);
    test->addWidget(lblTest, 1);
    form->addRow(test);
    form->addRow(Label(c.topic), txtTopic);
    form->addRow(chbxDiscovery);
    form->addRow(Label(c.prefix), txtPrefix);

    // One factor per tank, with the unit it is per: the tank chosen in a
    // list, so that 56 tanks fit as well as one.
    logic_->values.kwhProEinheit.resize(logic_->energyRows.size());
    GroupEnergie = new QGroupBox(t(1111), this);
    GroupEnergie->setObjectName(QStringLiteral("GroupEnergie"));
    GroupEnergie->setToolTip(t(1112));
    ComboKWhTank = new QComboBox(GroupEnergie);
    ComboKWhTank->setObjectName(QStringLiteral("ComboKWhTank"));
    for (const MqttDialogLogic::EnergyRow &row : logic_->energyRows)
        ComboKWhTank->addItem(row.tank);
    spinKWh = new QDoubleSpinBox(GroupEnergie);
    spinKWh->setObjectName(QStringLiteral("spinKWh"));
    spinKWh->setRange(0, 1000000);
    spinKWh->setDecimals(3);
    lblKWhEinheit = new QLabel(GroupEnergie);
    lblKWhEinheit->setObjectName(QStringLiteral("lblKWhEinheit"));
    // Room for the widest unit, so that choosing another tank moves nothing.
    int unitWidth = 0;
    for (const MqttDialogLogic::EnergyRow &row : logic_->energyRows)
        unitWidth = std::max(unitWidth, lblKWhEinheit->fontMetrics().horizontalAdvance(row.unit));
    lblKWhEinheit->setMinimumWidth(unitWidth + 2);
    auto *tankCaption = new QLabel(t(281).trimmed() + QLatin1Char(':'), GroupEnergie);
    tankCaption->setBuddy(ComboKWhTank);
    auto *kwhCaption = new QLabel(t(1113), GroupEnergie);
    kwhCaption->setBuddy(spinKWh);
    auto *factor = new QHBoxLayout;
    factor->addWidget(spinKWh);
    factor->addWidget(lblKWhEinheit);
    factor->addStretch(1);
    auto *energy = new QFormLayout(GroupEnergie);
    energy->addRow(tankCaption, ComboKWhTank);
    energy->addRow(kwhCaption, factor);
    const auto showTank = [this](int i) {
        if (i < 0 || i >= logic_->energyRows.size())
            return;
        const QSignalBlocker block(spinKWh);
        spinKWh->setValue(logic_->values.kwhProEinheit[i]);
        lblKWhEinheit->setText(logic_->energyRows[i].unit);
    };
    connect(ComboKWhTank, &QComboBox::currentIndexChanged, this, showTank);
    connect(spinKWh, &QDoubleSpinBox::valueChanged, this, [this](double k) {
        const int i = ComboKWhTank->currentIndex();
        if (i >= 0 && i < logic_->values.kwhProEinheit.size())
            logic_->values.kwhProEinheit[i] = k;
    });
    showTank(ComboKWhTank->currentIndex());
    GroupEnergie->setVisible(!logic_->energyRows.isEmpty());

    auto *buttons = HelpOkCancelRow(cmdHilfe, CmdOk, cmdCancel);

    auto *outer = new QVBoxLayout(this);
    outer->setSpacing(14);
    outer->addLayout(form);
    outer->addWidget(GroupEnergie);
    outer->addLayout(buttons);
    AssignAccessKeys(this);

    connect(CmdOk, &QPushButton::clicked, this, &frmMqtt::CmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::close);
    connect(cmdTest, &QPushButton::clicked, this, &frmMqtt::cmdTest_Click);
    ConnectHelp(cmdHilfe, help_, HelpTopic::frmMqtt);
}

frmMqtt::~frmMqtt() = default;

void frmMqtt::takeFields()
{
    MqttValues &v = logic_->values;
    takeBrokerFields(v);
    v.topic = txtTopic->text();
    v.discovery = chbxDiscovery->isChecked();
    v.discoveryPrefix = txtPrefix->text();
    // v.kwhProEinheit follows the energy fields as they are edited.
}

void frmMqtt::CmdOk_Click()
{
    takeFields();
    if (logic_->Ok())
        close();
}

// One attempt with the values as typed; the dialog stays usable meanwhile and
// the answer comes within ten seconds.
void frmMqtt::cmdTest_Click()
{
    if (test_)
        return;
    takeFields();
    const MqttValues v = logic_->values;
    const Texts t = logic_->texts();
    if (v.host.trimmed().isEmpty()) {
        lblTest->setText(t(434));
        return;
    }
    test_ = new MqttConnectionTest(v, qEnvironmentVariable("TANKMON_MQTT_CAFILE"), 10000, this);
    cmdTest->setEnabled(false);
    lblTest->setText(FormatText(t(916), {v.host.trimmed() + QLatin1Char(':') + QString::number(v.port)}));
    connect(test_, &MqttConnectionTest::finished, this, [this, v, t](MqttConnectionTest::Result r) {
        lblTest->setText(MqttConnectionTest::ResultText(r, v, t));
        cmdTest->setEnabled(true);
        test_->deleteLater();
    });
    test_->start();
}
