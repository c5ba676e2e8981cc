#include "UiTestSupport.h"
#include "support/TestSupport.h"

#include "app/AppController.h"
#include "ui/QtUi.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>

namespace {

// Runs handle(box) on the next modal dialog as soon as it is open.
template <typename Dialog>
void whenOpen(std::function<void(Dialog *)> handle)
{
    auto *poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, handle] {
        auto *d = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!d || !d->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        handle(d);
    });
    poll->start();
}

class QtUiTest : public DataDirTest {
protected:
    QtUi ui_;
};

TEST_F(QtUiTest, QuestionDefaultsToNoAndCarriesTheProgramTitle)
{
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool noIsDefault = false;
    whenOpen<QMessageBox>([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
        QTest::keyClick(box, Qt::Key_Return); // the default button
    });
    const MsgResult r = ui_.messageBox(QStringLiteral("Wirklich?"), QString(), MsgIcon::Question,
                                       MsgButtons::YesNo);
    EXPECT_EQ(r, MsgResult::No);
    EXPECT_EQ(title, AppController::ProgramTitle(false));
    EXPECT_EQ(text, QStringLiteral("Wirklich?"));
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_TRUE(noIsDefault);
}

TEST_F(QtUiTest, YesIsReportedAndTitlesAndIconsArePassedOn)
{
    whenOpen<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
    EXPECT_EQ(ui_.messageBox(QStringLiteral("?"), QStringLiteral("Frage"), MsgIcon::Question,
                             MsgButtons::YesNo),
              MsgResult::Yes);

    const std::pair<MsgIcon, QMessageBox::Icon> icons[] = {
        {MsgIcon::Stop, QMessageBox::Critical},
        {MsgIcon::Exclamation, QMessageBox::Warning},
        {MsgIcon::Information, QMessageBox::Information}};
    for (const auto &[ours, qt] : icons) {
        QMessageBox::Icon seen = QMessageBox::NoIcon;
        QString title;
        int buttons = 0;
        whenOpen<QMessageBox>([&](QMessageBox *box) {
            seen = box->icon();
            title = box->windowTitle();
            buttons = int(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        });
        EXPECT_EQ(ui_.messageBox(QStringLiteral("x"), QStringLiteral("Fehler"), ours, MsgButtons::Ok),
                  MsgResult::Ok);
        EXPECT_EQ(seen, qt);
        EXPECT_EQ(title, QStringLiteral("Fehler"));
        EXPECT_EQ(buttons, 1);
    }
}

// Telegrams keep arriving while the user reads a box.
TEST_F(QtUiTest, TimersRunWhileABoxIsOpen)
{
    int ticks = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start();
    bool sawTicks = false;
    whenOpen<QMessageBox>([&](QMessageBox *box) {
        const int before = ticks;
        sawTicks = WaitFor([&] { return ticks >= before + 5; }, 5000);
        box->button(QMessageBox::Ok)->click();
    });
    ui_.messageBox(QStringLiteral("Alarm"), QString(), MsgIcon::Exclamation, MsgButtons::Ok);
    EXPECT_TRUE(sawTicks);
}

TEST_F(QtUiTest, InputBoxGivesTypedTextOrEmptyOnCancel)
{
    QString prompt, shownDefault, title;
    whenOpen<QInputDialog>([&](QInputDialog *d) {
        prompt = d->labelText();
        shownDefault = d->textValue();
        title = d->windowTitle();
        d->setTextValue(QStringLiteral("2,5"));
        d->accept();
    });
    EXPECT_EQ(ui_.inputBox(QStringLiteral("Ersten Tank eingeben: "), QStringLiteral("Tanks löschen"),
                           QStringLiteral("1")),
              QStringLiteral("2,5"));
    EXPECT_EQ(prompt, QStringLiteral("Ersten Tank eingeben: "));
    EXPECT_EQ(shownDefault, QStringLiteral("1"));
    EXPECT_EQ(title, QStringLiteral("Tanks löschen"));

    whenOpen<QInputDialog>([](QInputDialog *d) { d->reject(); });
    EXPECT_EQ(ui_.inputBox(QStringLiteral("p"), QString(), QStringLiteral("1.5")), QString());
}

TEST_F(QtUiTest, WaitCursorIsBalanced)
{
    ui_.setWaitCursor(true);
    ui_.setWaitCursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui_.setWaitCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ui_.setWaitCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(QtUiTest, PanelTextsAreAnnounced)
{
    QStringList seen;
    QObject::connect(&ui_, &UiServices::panelTextChanged,
                     [&seen](int n, const QString &t) { seen << QString::number(n) + t; });
    ui_.setPanelText(2, QStringLiteral("Emails: aktiv"));
    EXPECT_EQ(seen, QStringList{QStringLiteral("2Emails: aktiv")});
    EXPECT_EQ(ui_.panelText(2), QStringLiteral("Emails: aktiv"));
}

} // namespace
