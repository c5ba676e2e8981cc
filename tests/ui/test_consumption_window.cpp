// The consumption window offscreen: what it lists and shows, the widths it
// keeps, the export through the boxes (the main window's button: DialogTest).
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
    const auto open = [&] { return frmTabelle::OpenForm(devices, settings, ui, config, clock, nullptr); };
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
    const auto cell = [&](int r, int c) { return view->model()->index(r, c).data().toString(); };
    const auto caption = [&] { return Part<QLabel>(table.get(), "caption")->text(); };

    settings.write(Cfg::GridColWidth.at(2), 80);
    EXPECT_EQ(show(), (QStringList{"1: Keller", "3: SN:4711", "Tank 1-3", "Tank 1-3"}));
    // Litres and m³ together: numbers without a unit, the caption names both.
    EXPECT_EQ(caption(), "Verbrauchs-Tabelle (L, m³)");
    EXPECT_EQ(cell(0, 2) + "|" + cell(0, 3), QLocale::system().toString(1234) + "|2");

    // Only the stored width and the user's resize are written.
    QHeaderView *header = view->horizontalHeader();
    EXPECT_EQ(QString("%1 %2").arg(header->sectionSize(0)).arg(header->sectionSize(1)), "60 80");
    EXPECT_FALSE(readBytes(iniPath()).contains("GridColWidth1="));
    header->resizeSection(3, 95);
    EXPECT_EQ(settings.readInt(Cfg::GridColWidth.at(4)), 95);

    // The export asks for the file through the input box.
    auto *exportButton = table->findChild<QPushButton *>("cmdExportCSV");
    const QString named = dataDir() + "Verbrauch.txt";
    ui.inputs = {QString(), named, dataDir() + "Jahr.CSV", dataDir() + "missing/x"};
    exportButton->click(); // cancelled: nothing written, nothing stored
    EXPECT_FALSE(readBytes(iniPath()).contains("PathExport"));
    exportButton->click();
    EXPECT_EQ(settings.read(Cfg::PathExport), named + ".csv");
    EXPECT_TRUE(readBytes(named + ".csv").startsWith("\xEF\xBB\xBFTank 1-3\r\n\r\n,1,2,"));
    EXPECT_EQ(ui.texts().last(), "Export " + named + ".csv\nOkay");
    exportButton->click();
    EXPECT_TRUE(QFile::exists(dataDir() + "Jahr.CSV"));
    exportButton->click();
    EXPECT_EQ(ui.shown.last().icon, MsgIcon::Stop);

    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_EQ(caption(), "Verbrauchs-Tabelle");
    EXPECT_EQ(cell(0, 2) + "|" + cell(0, 3), QLocale::system().toString(1234) + " L|");
    // The 24 months up to the clock's March 2026, February the second last.
    QCPBars *bars = qobject_cast<QCPBars *>(table->findChild<QCustomPlot *>("chart")->plottable(0));
    ASSERT_TRUE(bars && bars->data()->size() == 24);
    const auto last = bars->data()->constEnd();
    EXPECT_EQ(QString("%1 %2").arg((last - 2)->value).arg((last - 1)->value), "1234 0");

    // One device: no all-tanks entry.
    devices.DeviceCount = 1;
    EXPECT_EQ(show(), (QStringList{"1: Keller", "1: Keller"}));

    // No history, or no device: the box and no window.
    const int boxes = ui.count("message");
    for (int n = 1; n <= 3; ++n)
        devices[n].History.reset();
    EXPECT_EQ(open(), nullptr);
    devices.DeviceCount = 0;
    EXPECT_EQ(open(), nullptr);
    EXPECT_EQ(ui.count("message"), boxes + 2);
}
