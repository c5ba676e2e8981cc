#pragma once
#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>

// The fields every broker dialog has (MQTT, the central installation): made
// from values with the fields of the same names, laid out as the first rows
// of the dialog's form, and taken back into such values.
struct BrokerFields {
    QCheckBox *chbxAktiv = nullptr;
    QLineEdit *txtHost = nullptr;
    QSpinBox *spinPort = nullptr;
    QCheckBox *chbxTLS = nullptr;
    QLineEdit *txtUserName = nullptr;
    QLineEdit *txtPassword = nullptr;

    // c: the dialog's captions (aktiv, host, port, tls, userName, password).
    template <typename Captions, typename Values>
    void addBrokerRows(QWidget *dialog, QFormLayout *form, const Captions &c, const Values &v)
    {
        chbxAktiv = named(new QCheckBox(c.aktiv, dialog), "chbxAktiv");
        chbxAktiv->setChecked(v.aktiv);
        txtHost = named(new QLineEdit(v.host, dialog), "txtHost");
        txtHost->setMinimumWidth(280);
        spinPort = named(new QSpinBox(dialog), "spinPort");
        spinPort->setRange(1, 65535);
        spinPort->setValue(v.port);
        chbxTLS = named(new QCheckBox(c.tls, dialog), "chbxTLS");
        chbxTLS->setChecked(v.tls);
        txtUserName = named(new QLineEdit(v.userName, dialog), "txtUserName");
        txtPassword = named(new QLineEdit(v.password, dialog), "txtPassword");
        txtPassword->setEchoMode(QLineEdit::Password);
        form->addRow(chbxAktiv);
        form->addRow(Label(c.host), txtHost);
        form->addRow(Label(c.port), spinPort);
        form->addRow(chbxTLS);
        form->addRow(Label(c.userName), txtUserName);
        form->addRow(Label(c.password), txtPassword);
    }
    template <typename Values> void takeBrokerFields(Values &v) const
    {
        v.aktiv = chbxAktiv->isChecked();
        v.host = txtHost->text();
        v.port = spinPort->value();
        v.tls = chbxTLS->isChecked();
        v.userName = txtUserName->text();
        v.password = txtPassword->text();
    }
    // Captions end in a colon, as in the other dialogs.
    static QString Label(const QString &caption) { return caption + QLatin1Char(':'); }

private:
    template <typename W> static W *named(W *w, const char *name)
    {
        w->setObjectName(QLatin1String(name));
        return w;
    }
};
