#include "GuiMain.h"

#include "FrmMain.h"
#include "QtUi.h"
#include "UiLook.h"
#include "app/AppController.h"
#include "app/CommandLine.h"
#include "app/ProgramInfo.h"
#include "core/RunConfig.h"
#include "core/Settings.h"

#include <QApplication>
#include <memory>

int RunGui(int &argc, char **argv, const CommandLine &cl)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tankmon"));
    QApplication::setApplicationVersion(QStringLiteral(TANKMON_VERSION));
    UiLook::ApplyApplicationLook(application);

    RunConfig config = ConfigFromCommandLine(cl);
    Settings settings(config);
    QtUi ui([&config] { return ProgramTitle(config, false); });
    AppController app(config, settings, ui, SystemClock());
    app.setRestartOptions(cl.restartOptions);
    QObject::connect(&app, &AppController::quitRequested, &application, &QApplication::closeAllWindows);

    std::unique_ptr<frmMain> window;
    switch (app.start()) {
    case AppController::Start::ClientPathMissing:
        // The place of the client-path dialog (frmLogClient).
        app.reportClientPathMissing();
        break;
    case AppController::Start::Ended:
        break;
    case AppController::Start::Run:
        window = std::make_unique<frmMain>(app);
        window->show();
        break;
    }
    return QApplication::exec();
}
