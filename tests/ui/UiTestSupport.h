#pragma once
// What the window tests share: a child widget by its object name, the windows
// on screen, what of a window a small screen leaves out of reach, and the main window over a started
// program.
#include "support/Fixtures.h"

#include "app/AppController.h"
#include "app/Program.h"
#include "ui/FrmMain.h"

#include <QSignalSpy>
#include <QtTest/QTest>
#include <QtWidgets>
#include <memory>

// A child widget by its object name (a failure names it).
template <typename W> W *Part(const QObject *parent, const char *name)
{
    W *w = parent ? parent->findChild<W *>(QLatin1String(name)) : nullptr;
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// The windows of a kind on screen, each on its own (dialogs, boxes).
template <typename W> QList<W *> Shown()
{
    QList<W *> found;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *d = qobject_cast<W *>(w); d && d->isVisible())
            found << d;
    return found;
}

// What is out of reach of a window: outside the available screen (the
// offscreen screen is 800 wide), or, with the window at the client area of
// an 800 x 600 screen (frame and panel off), larger than that or a button
// outside it (but for one in a scrolling area).
inline QStringList OutOfReach(QWidget *window)
{
    QStringList out;
    if (!window->screen()->availableGeometry().contains(window->geometry()))
        out << "the window on its screen";
    const QSize small(800 - 16, 600 - 40);
    window->resize(small);
    QApplication::processEvents();
    if (window->size() != small)
        out << QStringLiteral("%1x%2 at 800x600").arg(window->width()).arg(window->height());
    // A field in a scrolling area is reached by scrolling.
    const auto scrolls = [window](QWidget *w) {
        for (QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
            if (qobject_cast<QAbstractScrollArea *>(p))
                return true;
        return false;
    };
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
        if (b->isVisible() && !scrolls(b) &&
            !window->rect().contains(QRect(b->mapTo(window, QPoint(0, 0)), b->size())))
            out << b->objectName() + " " + b->text();
    return out;
}

// The window program's start: the program built as the start-up builds it,
// the controller started, the main window shown; restarts are recorded, not
// started. After open(), the run's own switches and settings are
// program->switches and program->settings.
class MainWindowTest : public UiTest
{
protected:
    void TearDown() override { close(); }
    void open(AppController::Start expected = AppController::Start::Run)
    {
        close();
        program = std::make_unique<Program>(config, ui, clock, LinkHardware{},
                                            [this](const QStringList &args) { restarts << args.join(' '); });
        app = &program->app;
        parts = &program->parts;
        ASSERT_EQ(app->start(), expected);
        if (expected != AppController::Start::Run)
            return;
        win = std::make_unique<frmMain>(program->windowParts, program->menu, *app);
        win->resize(1100, 700);
        win->show();
    }
    // The window and the program gone (the instance lock with them).
    void close()
    {
        win.reset();
        app = nullptr;
        parts = nullptr;
        program.reset();
    }
    QAction *action(const char *name) const { return Part<QAction>(win.get(), name); }
    QString localFile() const { return QString::fromLatin1(readBytes(iniPath())); }

    std::unique_ptr<Program> program;
    AppController *app = nullptr;
    RunParts *parts = nullptr;
    std::unique_ptr<frmMain> win;
    QStringList restarts;
};
