#include "GuiMain.h"

#include "FrmMain.h"
#include "QtUi.h"
#include "UiLook.h"
#include "app/AppController.h"
#include "core/UiServices.h"
#include "lang/Lng.h"

#include <QApplication>
#include <QInputDialog>

namespace {
// The language selection shown when the stored language id is 0.
int chooseLanguage()
{
    QStringList names;
    const QList<LanguageEntry> list = LanguageList();
    for (const LanguageEntry &e : list)
        names << e.name;
    bool ok = false;
    const QString choice = QInputDialog::getItem(nullptr, QStringLiteral("Auswahl Sprache"),
                                                 QStringLiteral("Language / Sprache:"), names, 0, false, &ok);
    if (!ok)
        return 0;
    for (const LanguageEntry &e : list)
        if (e.name == choice)
            return e.id;
    return 0;
}
} // namespace

int RunGui(int &argc, char **argv, const QStringList &words, const QStringList &options)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tankmon"));
    QApplication::setApplicationVersion(QStringLiteral(TANKMON_VERSION));
    UiLook::ApplyApplicationLook(application);
    InstallLanguage();
    QtUi ui;
    SetUi(&ui);
    SetLanguageChooser(chooseLanguage);

    AppController app;
    app.setCommandLine(words);
    app.setRestartOptions(options);
    if (!app.programEntry()) {
        Ui().messageBox(QStringLiteral("No client path is set (section \"Client\", key \"Path\")."), QString(),
                        MsgIcon::Stop, MsgButtons::Ok);
        return 1;
    }
    // Before anything is written: a refused copy leaves the settings alone.
    if (!app.acquireInstance())
        return 1;
    frmMain window(app);
    if (window.refused())
        return 1;
    window.show();
    return QApplication::exec();
}
