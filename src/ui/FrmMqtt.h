#pragma once
#include "BrokerFields.h"
#include "FrmHilfe.h"

#include <QDialog>
#include <QPointer>
#include <memory>

class MqttConnectionTest;
class MqttDialogLogic;
class QLabel;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The MQTT settings dialog: a view over MqttDialogLogic. Not modal; one at a time.
class frmMqtt : public QDialog, public BrokerFields
{
    Q_OBJECT
public:
    // Shows the dialog in open, or a new one over logic.
    static frmMqtt *ShowDialog(QPointer<frmMqtt> &open, std::unique_ptr<MqttDialogLogic> logic, HelpFn help,
                               QWidget *parent = nullptr);
    frmMqtt(std::unique_ptr<MqttDialogLogic> logic, HelpFn help, QWidget *parent = nullptr);
    ~frmMqtt() override;

    QLineEdit *txtTopic;
    QCheckBox *chbxDiscovery;
    QLineEdit *txtPrefix;
    QPushButton *CmdOk;
    QPushButton *cmdCancel;
    QPushButton *cmdHilfe;
    QPushButton *cmdTest;
    QLabel *lblTest;
    // The energy sensor's factor of the tank chosen, with its unit; hidden
    // without tanks.
    QGroupBox *GroupEnergie;
    QComboBox *ComboKWhTank;
    QDoubleSpinBox *spinKWh;
    QLabel *lblKWhEinheit;

private:
    void CmdOk_Click();
    void takeFields();
    void cmdTest_Click();

    std::unique_ptr<MqttDialogLogic> logic_;
    HelpFn help_;
    QPointer<MqttConnectionTest> test_;
};
