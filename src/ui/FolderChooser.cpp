#include "FolderChooser.h"

#include <QFileDialog>

void ChooseFolder(QWidget *owner, const QString &prompt, const QString &current,
                  std::function<void(const QString &)> done)
{
    // A caption with an access letter ("&Log") makes the title: no "&" shown, "&&" is one.
    QString title = prompt == QLatin1String("$") ? QString() : prompt;
    title.replace(QLatin1String("&&"), QStringLiteral("\u0001")).remove(QLatin1Char('&'));
    title.replace(QChar(1), QLatin1Char('&'));
    auto *dlg = new QFileDialog(owner, title, current);
    dlg->setObjectName(QStringLiteral("ChooseFolder"));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setFileMode(QFileDialog::Directory);
    dlg->setOption(QFileDialog::ShowDirsOnly);
    dlg->setAcceptMode(QFileDialog::AcceptOpen);
    QObject::connect(dlg, &QFileDialog::finished, dlg, [dlg, current, done = std::move(done)](int result) {
        const QStringList chosen = dlg->selectedFiles();
        done(result == QDialog::Accepted && !chosen.isEmpty() && !chosen.first().isEmpty() ? chosen.first()
                                                                                           : current);
    });
    dlg->open();
}
