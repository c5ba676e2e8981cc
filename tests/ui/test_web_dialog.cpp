// The web view's settings dialog over the real controller, offscreen.
#include "ui/UiTestSupport.h"

#include "ui/FrmWeb.h"
#include "web/WebPassword.h"
#include "web/WebServer.h"

namespace
{
using WebDialogTest = MainWindowTest;

TEST_F(WebDialogTest, RefusesAnOpenAddressWithoutTlsAndStoresOnlyTheHash)
{
    open();
    app->activate();
    action("mnuWeb")->trigger();
    const QList<frmWeb *> dialogs = Shown<frmWeb>();
    ASSERT_EQ(dialogs.size(), 1);
    frmWeb *d = dialogs.first();
    EXPECT_EQ(d->lblUrl->text(), QStringLiteral("Im Browser öffnen: http://127.0.0.1:8088/"));
    d->chbxAktiv->setChecked(true);
    d->txtAdresse->setText(QStringLiteral("0.0.0.0"));
    d->spinPort->setValue(int(FreeTcpPort()));
    d->txtPassword->setText(QStringLiteral("pässword"));
    d->CmdOk->click();
    // Refused, said, nothing stored, the dialog still open.
    ASSERT_EQ(ui.texts().size(), 1);
    EXPECT_TRUE(ui.texts().first().contains(QStringLiteral("0.0.0.0"))) << qPrintable(ui.texts().first());
    EXPECT_FALSE(localFile().contains(QStringLiteral("[Web]")));
    EXPECT_TRUE(d->isVisible());

    d->txtAdresse->setText(QStringLiteral("127.0.0.1"));
    d->CmdOk->click();
    EXPECT_FALSE(d->isVisible());
    const WebValues stored = ReadWebValues(settings);
    EXPECT_TRUE(stored.aktiv);
    EXPECT_TRUE(VerifyWebPassword(stored.password, QStringLiteral("pässword")));
    const QByteArray file = readBytes(iniPath());
    EXPECT_FALSE(file.contains("p\xE4ssword") || file.contains("pässword")) << file.constData();
    // OK started the server at once.
    ASSERT_NE(app->web(), nullptr);
    EXPECT_EQ(app->web()->port(), stored.port);

    // Opened again, an untouched password field keeps the stored hash.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    action("mnuWeb")->trigger();
    Shown<frmWeb>().first()->CmdOk->click();
    EXPECT_EQ(ReadWebValues(settings).password, stored.password);
}
} // namespace
