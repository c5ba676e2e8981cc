// The consumption window offscreen: what it lists and shows, the widths it
// keeps, the export through the file chooser (what the files hold:
// ConsumptionUnits; the main window's button: DialogTest), also on a small screen.
#include "ui/UiTestSupport.h"

#include "ui/FrmTabelle.h"

#include <qcustomplot.h>

using ConsumptionWindow = UiTest;

TEST_F(ConsumptionWindow, TankListCellsCaptionChartStoredWidthsExportOrTheBoxWithoutData)
{
    // Tank 1 ("Keller", litres) uses 1234 in February, tank 2 has no
    // history, tank 3 (SN 4711, m³) 2 in March.
    DeviceTable devices;
    devices.DeviceCount = 3;
    devices[2].SN = 12;
    const double used[2][6] = {{5000, 4800, 4500, 4200, 3900, 3766}, {10, 9.5, 9, 8.5, 8.2, 8}};
    for (int n : {1, 3}) {
        devices[n].SN = 4711;
        devices[n].Tankbezeichnung = n == 1 ? "Keller" : "";
        devices[n].Einheit = n / 3;
        for (int i = 0; i < 6; ++i)
            devices[n].History.append(Clock::Naive(QDate(2026, 2 + n / 3, 4 + 4 * i), QTime(9, 0)),
                                      used[n / 3][i], 10);
    }
    int selected = 0; // the main window's tank
    const auto open = [&] {
        return frmTabelle::OpenForm(devices, settings, ui, CurrentTexts(), config, clock, selected, nullptr);
    };
    std::unique_ptr<frmTabelle> table;
    QComboBox *combo = nullptr;
    QTableView *view = nullptr;
    // Opens the window and finds its parts; the tank list with the current entry last.
    const auto show = [&] {
        table.reset(open());
        EXPECT_TRUE(table && table->isVisible());
        combo = Part<QComboBox>(table.get(), "ComboTank");
        view = Part<QTableView>(table.get(), "t");
        QStringList list;
        for (int i = 0; combo && i < combo->count(); ++i)
            list << combo->itemText(i);
        return list << (combo ? combo->currentText() : "");
    };
    // The caption, the rows (year, February, March, total), and a bar panel
    // per unit with the months from the first point (February) up to the clock's March.
    const auto shown = [&] {
        QStringList out{Part<QLabel>(table.get(), "caption")->text()};
        for (int r = 0; r < view->model()->rowCount(); ++r) {
            QStringList cells;
            for (int c : {0, 2, 3, 13})
                cells << view->model()->index(r, c).data().toString();
            out << cells.join('|');
        }
        auto *chart = table->findChild<QCustomPlot *>("chart");
        for (int p = 0; p < chart->plottableCount(); ++p) {
            auto *b = qobject_cast<QCPBars *>(chart->plottable(p));
            QStringList values;
            for (auto it = b->data()->constBegin(); it != b->data()->constEnd(); ++it)
                values << QString::number(it->value);
            out << b->valueAxis()->label() + ": " + values.join(' ');
        }
        return out;
    };

    settings.write(Cfg::GridColWidth.at(2), 80);
    EXPECT_EQ(show(), (QStringList{"1: Keller", "3: SN:4711", "Tank 1-3", "Tank 1-3"}));
    // Litres and m³ together: a table and a total each, the caption names both.
    EXPECT_EQ(shown(), (QStringList{"Verbrauchs-Tabelle (L, m³)", "2026|1.234||1.234 L", "Summe L|||1.234 L",
                                    "2026||2|2 m³", "Summe m³|||2 m³", "L: 1234 0", "m³: 0 2"}));
    // A stored width holds; a column nobody sized fits its widest cell ("Summe m³"
    // on one line). Only the stored width and the user's resize are written.
    QHeaderView *header = view->horizontalHeader();
    EXPECT_EQ(header->sectionSize(1), 80);
    EXPECT_GE(header->sectionSize(0), static_cast<QAbstractItemView *>(view)->sizeHintForColumn(0));
    EXPECT_FALSE(readBytes(iniPath()).contains("GridColWidth1="));
    header->resizeSection(3, 95);
    EXPECT_EQ(settings.readInt(Cfg::GridColWidth.at(4)), 95);

    // The export asks for the file through a chooser that does not block,
    // first in the documents folder with the date in the name, then where
    // the last export went; its second type writes the long form.
    auto *exportButton = table->findChild<QPushButton *>("cmdExportCSV");
    const auto chooser = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the last one gone
        exportButton->click();
        auto *dlg = table->findChild<QFileDialog *>("ExportFile");
        EXPECT_TRUE(dlg && dlg->isVisible()); // shown, and the click has returned
        return dlg;
    };
    // A home of our own with a documents folder.
    QTemporaryDir home;
    ASSERT_TRUE(QDir().mkpath(home.filePath("Documents")));
    const QByteArray homeBefore = qgetenv("HOME"), xdgBefore = qgetenv("XDG_CONFIG_HOME");
    const std::shared_ptr<void> restore(nullptr, [&](void *) {
        qputenv("HOME", homeBefore);
        qputenv("XDG_CONFIG_HOME", xdgBefore);
    });
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(".config")));
    QFileDialog *dlg = chooser();
    EXPECT_EQ(dlg->selectedFiles().value(0), home.filePath("Documents/Tankmon-consumption-2026-03-14.csv"));
    dlg->reject(); // cancelled: nothing written, nothing stored
    EXPECT_FALSE(readBytes(iniPath()).contains("PathExport"));
    dlg = chooser();
    const QString named = dataDir() + "Verbrauch.txt";
    dlg->selectFile(named);
    static_cast<QDialog *>(dlg)->accept(); // as the Save button does
    EXPECT_EQ(settings.read(Cfg::PathExport), named + ".csv");
    EXPECT_TRUE(readBytes(named + ".csv").startsWith("\xEF\xBB\xBFTank 1-3\r\n"));
    EXPECT_EQ(ui.texts().last(), "Export " + named + ".csv\nOkay");
    dlg = chooser();
    EXPECT_EQ(dlg->selectedFiles().value(0), dataDir() + "Tankmon-consumption-2026-03-14.csv");
    emit dlg->fileSelected(dataDir() + "missing/x"); // a folder that is not there: said
    EXPECT_EQ(ui.shown.last().icon, MsgIcon::Stop);
    dlg->selectNameFilter(dlg->nameFilters().at(1));
    dlg->selectFile(dataDir() + "lang.CSV");
    static_cast<QDialog *>(dlg)->accept();
    EXPECT_TRUE(
        readBytes(dataDir() + "lang.CSV").startsWith("tank,name,unit,year,month,consumption\n1,Keller"));

    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_EQ(shown(),
              (QStringList{"Verbrauchs-Tabelle (L)", "2026|1.234||1.234 L", "Summe|||1.234 L", "L: 1234 0"}));

    // Opens on the main window's tank.
    selected = 3;
    EXPECT_EQ(show(), (QStringList{"1: Keller", "3: SN:4711", "Tank 1-3", "3: SN:4711"}));

    // In Polish, whose captions are longer, with a long name: within a small
    // screen, the total column scrolled to, rows to read.
    SetLngId(10);
    devices[1].Tankbezeichnung = "Tank mit einem recht langen Namen";
    show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(table.get()));
    EXPECT_EQ(OutOfReach(table.get()), QStringList());
    // The whole year with its total in view without scrolling.
    EXPECT_TRUE(view->viewport()->rect().contains(view->visualRect(view->model()->index(0, 13))));
    EXPECT_GE(view->viewport()->height(), 3 * view->rowHeight(0)) << "rows to read";

    // No history, or no device: the box and no window.
    const int boxes = ui.count("message");
    for (int n = 1; n <= 3; ++n)
        devices[n].History.reset();
    EXPECT_EQ(open(), nullptr);
    devices.DeviceCount = 0;
    EXPECT_EQ(open(), nullptr);
    EXPECT_EQ(ui.count("message"), boxes + 2);
}
