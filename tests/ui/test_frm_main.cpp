// The main window offscreen: the small screen and every window's access
// letters in every language.
#include "ui/UiTestSupport.h"

#include "core/DateText.h"
#include "lang/AccessKeys.h"
#include "ui/ChartPlot.h"
#include "ui/FrmGrafikHistorie.h"
#include "ui/FrmLogClient.h"
#include "ui/FrmSelectLng.h"
#include "ui/FrmTabelle.h"
#include "ui/TabRows.h"
#include "ui/TankDisplay.h"

namespace
{

using FrmMainTest = MainWindowTest;

// Alt and a letter: each caption a user acts on has a letter of its own
// within its window (a menu: within the menu), and every field is reached
// through its label's letter (a field with its caption inside needs none).
void ExpectAccessLetters(QWidget *window)
{
    SCOPED_TRACE(window->objectName().toStdString());
    QSet<QChar> keys;
    QSet<QWidget *> reached;
    const auto expectKey = [&keys, &reached](const QString &text, QWidget *to = nullptr) {
        if (std::none_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); }))
            return; // "…", "+"
        const QChar k = AccessKey(text);
        EXPECT_FALSE(k.isNull() || keys.contains(k)) << qPrintable(text);
        keys.insert(k);
        reached << to;
    };
    const auto isField = [](QObject *o) {
        return qobject_cast<QComboBox *>(o) || qobject_cast<QAbstractSpinBox *>(o);
    };
    QList<QAction *> actions = window->actions();
    QList<QWidget *> fields;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        auto *b = qobject_cast<QAbstractButton *>(w);
        auto *l = qobject_cast<QLabel *>(w);
        auto *e = qobject_cast<QLineEdit *>(w);
        if (w->window() != window || isField(w->parent()))
            continue;
        if (auto *bar = qobject_cast<QMenuBar *>(w)) {
            actions << bar->actions();
            for (QAction *m : bar->actions())
                ExpectAccessLetters(m->menu());
        } else if (b && !(b->group() && b->group()->exclusive()))
            b->text().isEmpty() && b->isCheckable() ? void(fields << b) : expectKey(b->text(), b);
        else if (l && l->buddy())
            expectKey(l->text(), l->buddy());
        else if ((e && e->placeholderText().isEmpty()) || isField(w))
            fields << w;
    }
    for (QAction *a : actions)
        if (!a->isSeparator())
            expectKey(a->text());
    // A field switched by a check box is the next Tab stop after it; two
    // fields share the label of the first.
    const QStringList secondOfTwo{"txbxEmpfaengerAdr1", "ComboAbstand2", "spinVerlustStunden"};
    for (QWidget *f : fields) {
        QWidget *before = f->previousInFocusChain();
        while (before != f && !(before->focusPolicy() & Qt::TabFocus))
            before = before->previousInFocusChain();
        const bool afterBox = reached.contains(before) && qobject_cast<QAbstractButton *>(before);
        EXPECT_TRUE(reached.contains(f) || afterBox || secondOfTwo.contains(f->objectName()))
            << f->objectName().toStdString();
    }
}

// 800 x 600 in every language with 56 tanks: the window asks for no more and
// no tab caption is cut; every window has access letters of its own.
TEST_F(FrmMainTest, SmallScreenAndAccessLettersInEveryLanguage)
{
    DeviceTable table;
    table.DeviceCount = 1;
    for (int day = 60; day > 0; day -= 3)
        table[1].History.append(now.addDays(-day), 100 * day, 10);
    for (int lng = 1; lng <= 10; ++lng) {
        SCOPED_TRACE(lng);
        // The window with 56 tanks in the language, activated.
        QByteArray ini = "[LngPtnr]\r\nLngId=" + QByteArray::number(lng) + "\r\n[COM]\r\nSimulation=1\r\n" +
                         "[Common]\r\nActiveNet=1\r\n[Ger\xE4te]\r\nAnzahl=56\r\n";
        for (int n = 1; n <= 56; ++n) {
            // A long name, a fault, an alarm and an old reading among them.
            const QByteArray name = n % 7 == 3 ? QByteArray(40, 'W') : "Heiz\xF6l " + QByteArray::number(n);
            ini += "[Ger\xE4t" + QByteArray::number(n) + "]\r\nSN=" + QByteArray::number(1000 + n) +
                   "\r\nGer\xE4tetyp=9\r\nTemperatur=12\r\nVolumen=" +
                   (n == 6 ? "-57352" : QByteArray::number(40 * n)) +
                   "\r\nTankvolumen=5000\r\nTankbezeichnung=" + name + "\r\nAlarm=" + (n == 9 ? "1" : "0") +
                   "\r\nUhrzeit=" + FormatDateText(now.addSecs(n == 5 ? -200000 : -60)).toLatin1() + "\r\n";
        }
        writeBytes(iniPath(), ini);
        open();
        ASSERT_TRUE(WaitFor([&] { return app->firstActivateDone(); }, 10000));
        win->setWindowState(Qt::WindowNoState);
        win->resize(800, 600);
        parts->tanks().ComboSN_Click(6);
        // Layout requests beget resizes that beget layout requests.
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        const QSize min = win->minimumSizeHint().expandedTo(win->minimumSize());
        EXPECT_TRUE(min.width() <= 800 && min.height() <= 600) << min.width() << " x " << min.height();
        TabRows *rows = win->display()->tabRows();
        ASSERT_EQ(rows->buttons().size(), 15);
        for (QToolButton *b : rows->buttons()) {
            EXPECT_GE(b->width(), b->sizeHint().width()) << qPrintable(b->text());
            EXPECT_TRUE(rows->rect().contains(b->geometry())) << qPrintable(b->text());
        }
        // The mark as shown: the caption's colour and its sign.
        const auto marked = [&](int tab) {
            QToolButton *b = rows->buttons()[tab];
            return b->property("attention").toBool() && !b->icon().isNull();
        };
        // Tanks 1-12 are below 10 %, 5 silent, 6 faulty, 9 in alarm; 17-20 are fine.
        EXPECT_TRUE(marked(1) && marked(2) && marked(3) && !marked(5));
        // Every dialog of the settings and help menus; deleting and switching left out.
        for (QMenu *m : {win->findChild<QMenu *>("mnuEinstellen"), win->findChild<QMenu *>("mnuHilfe")})
            for (QAction *a : m->actions())
                if (!a->isCheckable() && !a->objectName().contains("Loeschen"))
                    a->trigger();
        action("mnuMeldungen")->trigger();
        // Each, and the help window, fits the small screen with its buttons in
        // reach (the e-mail dialog scrolls its fields).
        for (QWidget *w : Shown<QWidget>())
            EXPECT_EQ(w == win.get() ? QStringList() : OutOfReach(w), QStringList())
                << w->objectName().toStdString();
        (new frmSelectLng(win.get()))->show();
        (new frmLogClient(program->menu, false, {}, win.get()))->show();
        ASSERT_TRUE(frmTabelle::OpenForm(table, settings, ui, texts, config, clock, 1, win.get()));
        auto *chart = frmGrafikHistorie::OpenForm(table, program->settings, ui, texts, program->switches,
                                                  clock, win.get());
        ASSERT_TRUE(chart);
        emit chart->findChild<ChartPlot *>()->customContextMenuRequested({5, 5});
        EXPECT_GE(Shown<QWidget>().size(), 11);
        for (QWidget *w : Shown<QWidget>())
            ExpectAccessLetters(w);
    }
}

} // namespace
