#pragma once
#include "FrmHilfe.h"

#include <QHBoxLayout>
#include <QLatin1String>
#include <QPushButton>

// The row under a settings dialog: help on the left, OK and Cancel on the right.
inline QHBoxLayout *HelpOkCancelRow(QPushButton *help, QPushButton *ok, QPushButton *cancel)
{
    auto *row = new QHBoxLayout;
    row->addWidget(help);
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

// The help button opens the dialog's page, when the window was given a help function.
inline void ConnectHelp(QPushButton *button, const HelpFn &help, const char *topic)
{
    QObject::connect(button, &QPushButton::clicked, button, [help, topic] {
        if (help)
            help(QLatin1String(topic));
    });
}
