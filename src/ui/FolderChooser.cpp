#include "FolderChooser.h"

#include <QFileDialog>

void ChooseFolder(QWidget *owner, const QString &prompt, const QString &current,
                  std::function<void(const QString &)> done)
{
    auto *dlg = new QFileDialog(owner, prompt == QLatin1String("$") ? QString() : prompt, current);
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
