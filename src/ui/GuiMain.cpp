#include "GuiMain.h"

#include "FrmHilfe.h"
#include "FrmLogClient.h"
#include "FrmMain.h"
#include "FrmSelectLng.h"
#include "QtUi.h"
#include "UiLook.h"
#include "app/AppController.h"
#include "app/CommandLine.h"
#include "app/Program.h"
#include "app/ProgramInfo.h"
#include "app/SignalQuit.h"
#include "lang/Lng.h"
#include "lang/QtTranslation.h"

#include <QApplication>
#include <QPointer>
#include <memory>

namespace
{
// Client mode without a client path: the client-path dialog, in the stored
// language or, for a stored 0, the one chosen first. Every way out ends the
// program explicitly, so a dialog closing in between does not.
void ShowClientEntry(AppController &app, ClientPathLogic &clientPath, QPointer<frmHilfe> &help)
{
    QApplication::setQuitOnLastWindowClosed(false);
    auto showDialog = [&clientPath, &help] {
        auto *dlg = new frmLogClient(clientPath, true,
                                     [&help](const QString &topic) { frmHilfe::Open(help, topic); });
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->open();
    };
    switch (app.fixEntryLanguage()) {
    case AppController::EntryLanguage::Ready:
        showDialog();
        break;
    case AppController::EntryLanguage::Choose: {
        auto *select = new frmSelectLng;
        select->setAttribute(Qt::WA_DeleteOnClose);
        auto id = std::make_shared<int>(0);
        QObject::connect(select, &frmSelectLng::chosen, select, [id](int chosen) { *id = chosen; });
        QObject::connect(select, &QDialog::finished, &app, [&app, id, showDialog] {
            if (app.entryLanguageChosen(*id))
                showDialog();
        });
        select->open();
        break;
    }
    case AppController::EntryLanguage::Ended:
        break;
    }
}
} // namespace

int RunGui(int &argc, char **argv, const CommandLine &cl)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tankmon"));
    QApplication::setApplicationVersion(QStringLiteral(TANKMON_VERSION));
    UiLook::ApplyApplicationLook(application);

    std::unique_ptr<Program> program;
    QtUi ui([&program] { return program ? ProgramTitle(program->options, false) : QString(); });
    program = BuildProgram(cl, ui);
    AppController &app = program->app;
    QObject::connect(&app, &AppController::quitRequested, &application, &QApplication::closeAllWindows);
    QuitOnSignals(app, false);

    std::unique_ptr<frmMain> window;
    QPointer<frmHilfe> entryHelp;
    const AppController::Start start = app.start();
    // The language is fixed now: Qt's own buttons follow it.
    InstallQtTranslation(application, LngId());
    switch (start) {
    case AppController::Start::ClientPathMissing:
        ShowClientEntry(app, program->menu, entryHelp);
        break;
    case AppController::Start::Ended:
        break;
    case AppController::Start::Run:
        window = std::make_unique<frmMain>(program->windowParts, program->menu, app);
        ui.setHome(window.get());
        window->show();
        break;
    }
    return QApplication::exec();
}
