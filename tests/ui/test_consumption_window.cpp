// The consumption window offscreen: what it lists and shows, the widths it
// keeps, the export through the boxes, and the main window's button.
#include "ui/UiTestSupport.h"

#include "core/Catalogue.h"
#include "ui/FrmGrafikHistorie.h"
#include "ui/FrmTabelle.h"
#include "ui/TankDisplay.h"

#include <qcustomplot.h>

namespace {

class ConsumptionWindow : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        devices.DeviceCount = 3;
        // Tank 1 ("Keller", litres) uses 1234 in February, tank 2 has no
        // history, tank 3 (SN 4711, m³) 2 in March.
        fill(1, "Keller", 0, {5000, 4800, 4500, 4200, 3900, 3766}, 2);
        devices[2].SN = 12;
        fill(3, "", 1, {10, 9.5, 9, 8.5, 8.2, 8}, 3);
    }
    void fill(int n, const QString &name, int unit, std::initializer_list<double> values, int month)
    {
        DeviceRecord &r = devices[n];
        r.SN = 4711;
        r.Tankbezeichnung = name;
        r.Einheit = unit;
        int day = 1;
        for (double v : values)
            r.History.append(Clock::Naive(QDate(2026, month, day++ * 4), QTime(9, 0)), v, 10);
    }
    frmTabelle *openTable() { return frmTabelle::OpenForm(devices, settings, ui, config, clock, nullptr); }
    QString cell(int row, int column) const { return view->model()->index(row, column).data().toString(); }
    QStringList entries() const
    {
        QStringList list;
        for (int i = 0; i < combo->count(); ++i)
            list << combo->itemText(i);
        return list;
    }
    // Opens the window and finds its parts.
    void show()
    {
        table.reset(openTable());
        ASSERT_TRUE(table && table->isVisible());
        combo = Part<QComboBox>(table.get(), "ComboTank");
        view = Part<QTableView>(table.get(), "t");
        caption = Part<QLabel>(table.get(), "caption");
    }

    DeviceTable devices;
    std::unique_ptr<frmTabelle> table;
    QComboBox *combo = nullptr;
    QTableView *view = nullptr;
    QLabel *caption = nullptr;
};

} // namespace

TEST_F(ConsumptionWindow, TankListCellsCaptionAndChartOrTheBoxWithoutData)
{
    show();
    EXPECT_EQ(entries(), (QStringList{"1: Keller", "3: SN:4711", "Tank 1-3"}));
    EXPECT_EQ(combo->currentText(), "Tank 1-3");
    // Litres and m³ together: numbers without a unit, the caption names both.
    EXPECT_EQ(caption->text(), "Verbrauchs-Tabelle (L, m³)");
    EXPECT_EQ(cell(0, 2) + "|" + cell(0, 3), QLocale::system().toString(1234) + "|2");

    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_EQ(caption->text(), "Verbrauchs-Tabelle");
    EXPECT_EQ(cell(0, 2) + "|" + cell(0, 3), QLocale::system().toString(1234) + " L|");
    // The 24 months up to the clock's March 2026, February the second last.
    QCPBars *bars = qobject_cast<QCPBars *>(table->findChild<QCustomPlot *>("chart")->plottable(0));
    ASSERT_TRUE(bars);
    ASSERT_EQ(bars->data()->size(), 24);
    EXPECT_EQ((bars->data()->constEnd() - 2)->value, 1234);
    EXPECT_EQ((bars->data()->constEnd() - 1)->value, 0);

    // One device: no all-tanks entry.
    devices.DeviceCount = 1;
    show();
    EXPECT_EQ(entries(), (QStringList{"1: Keller"}));

    // No history, or no device: the box and no window.
    for (int n = 1; n <= 3; ++n)
        devices[n].History.reset();
    EXPECT_EQ(openTable(), nullptr);
    devices.DeviceCount = 0;
    EXPECT_EQ(openTable(), nullptr);
    EXPECT_EQ(ui.count("message"), 2);
}

TEST_F(ConsumptionWindow, StoredWidthsOnlyTheUsersResizeWrittenAndTheExport)
{
    settings.write(Cfg::GridColWidth.at(2), 80);
    show();
    QHeaderView *header = view->horizontalHeader();
    EXPECT_EQ(header->sectionSize(1), 80);
    EXPECT_EQ(header->sectionSize(0), 60);
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
}

// The main window's buttons open one table and one chart window however often
// they are clicked.
TEST_F(ConsumptionWindow, MainWindowButtonsOpenOneTableAndOneChart)
{
    open();
    ASSERT_TRUE(WaitFor([&] { return app->firstActivateDone(); }));
    QPushButton *tableButton = Part<QPushButton>(win->display(), "cmdTabelle");
    QPushButton *chartButton = Part<QPushButton>(win->display(), "cmdGrafik");
    tableButton->click();
    EXPECT_EQ(ui.count("message"), 1) << "no device yet: the box";

    ASSERT_TRUE(app->tanks().EvalTelegramm(Telegram{}.bytes(), QString()));
    for (int d = 1; d <= 6; ++d)
        app->tanks().device(1).History.append(Clock::Naive(QDate(2026, 1, d), QTime(8, 0)), 1000 - d, 12);
    for (QPushButton *button : {tableButton, tableButton, chartButton, chartButton}) {
        EXPECT_TRUE(button->isVisible());
        button->click();
    }
    const auto tables = win->findChildren<frmTabelle *>();
    ASSERT_EQ(tables.size(), 1);
    EXPECT_EQ(tables.first()->findChild<QTableView *>("t")->model()->index(0, 1).data().toString(), "5 L");
    EXPECT_EQ(win->findChildren<frmGrafikHistorie *>().size(), 1);
}
