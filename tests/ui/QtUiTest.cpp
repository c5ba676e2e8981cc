// The widget implementation of the UI services, with real modal dialogs.
#include "support/TestSupport.h"

#include "app/AppController.h"
#include "ui/QtUi.h"

#include <QApplication>
#include <QInputDialog>
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

TEST_F(QtUiTest, MessageBoxesWithTitlesIconsAndDefaults)
{
    // A question defaults to No and carries the program title when it has none.
    QString seen;
    whenOpen<QMessageBox>([&](QMessageBox *box) {
        seen = box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon()) +
               (box->defaultButton() == box->button(QMessageBox::No) ? "|No" : "|?");
        QTest::keyClick(box, Qt::Key_Return); // the default button
    });
    EXPECT_EQ(ui_.messageBox("Wirklich?", QString(), MsgIcon::Question, MsgButtons::YesNo), MsgResult::No);
    EXPECT_EQ(seen, AppController::ProgramTitle(false) + "|Wirklich?|" + QString::number(QMessageBox::Question) + "|No");

    whenOpen<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
    EXPECT_EQ(ui_.messageBox("?", "Frage", MsgIcon::Question, MsgButtons::YesNo), MsgResult::Yes);

    const std::pair<MsgIcon, QMessageBox::Icon> icons[] = {{MsgIcon::Stop, QMessageBox::Critical},
                                                           {MsgIcon::Exclamation, QMessageBox::Warning},
                                                           {MsgIcon::Information, QMessageBox::Information}};
    for (const auto &[ours, qt] : icons) {
        whenOpen<QMessageBox>([&](QMessageBox *box) {
            seen = box->windowTitle() + "|" + QString::number(box->icon()) + "|" +
                   QString::number(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        });
        EXPECT_EQ(ui_.messageBox("x", "Fehler", ours, MsgButtons::Ok), MsgResult::Ok);
        EXPECT_EQ(seen, "Fehler|" + QString::number(qt) + "|1");
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
        sawTicks = WaitFor([&] { return ticks >= before + 5; });
        box->button(QMessageBox::Ok)->click();
    });
    ui_.messageBox("Alarm", QString(), MsgIcon::Exclamation, MsgButtons::Ok);
    EXPECT_TRUE(sawTicks);
}

TEST_F(QtUiTest, InputBoxGivesTypedTextOrEmptyOnCancel)
{
    QString seen;
    whenOpen<QInputDialog>([&](QInputDialog *d) {
        seen = d->labelText() + "|" + d->textValue() + "|" + d->windowTitle();
        d->setTextValue("2,5");
        d->accept();
    });
    EXPECT_EQ(ui_.inputBox("Ersten Tank eingeben: ", "Tanks löschen", "1"), "2,5");
    EXPECT_EQ(seen, "Ersten Tank eingeben: |1|Tanks löschen");

    whenOpen<QInputDialog>([](QInputDialog *d) { d->reject(); });
    EXPECT_EQ(ui_.inputBox("p", QString(), "1.5"), QString());
}

TEST_F(QtUiTest, WaitCursorIsBalancedAndPanelTextsAnnounced)
{
    ui_.setWaitCursor(true);
    ui_.setWaitCursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui_.setWaitCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ui_.setWaitCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    QStringList seen;
    QObject::connect(&ui_, &UiServices::panelTextChanged, [&seen](int n, const QString &t) { seen << QString::number(n) + t; });
    ui_.setPanelText(2, "Emails: aktiv");
    EXPECT_EQ(seen, QStringList{"2Emails: aktiv"});
    EXPECT_EQ(ui_.panelText(2), "Emails: aktiv");
}

} // namespace
