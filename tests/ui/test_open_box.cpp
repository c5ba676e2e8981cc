// While the alarm box is open, telegrams of every link go on being
// evaluated: two devices, one on the serial link and one on the TCP link.
#include "support/MockLink.h"
#include "ui/UiTestSupport.h"

#include "link/LinkManager.h"
#include "ui/QtUi.h"

namespace
{

struct BoxCase {
    const char *name;
    bool widgets;  // the real box on the offscreen screen, else the scripted one
    int spacingMs; // between two telegrams
};
void PrintTo(const BoxCase &c, std::ostream *os)
{
    *os << c.name;
}

class BoxHeldOpen : public UiTest, public ::testing::WithParamInterface<BoxCase>
{
protected:
    bool boxOpen() const { return (GetParam().widgets ? Shown<QMessageBox>().size() : ui.openBoxes()) == 1; }
    QtUi qtUi{[] { return QStringLiteral("Tankmon"); }};
};

} // namespace

TEST_P(BoxHeldOpen, TwentyTelegramsOfTwoLinksEvaluatedInOrderOnce)
{
    ui.holdBoxes = true;
    UiServices &services = GetParam().widgets ? static_cast<UiServices &>(qtUi) : ui;
    TankController tanks(switches, settings, services, texts, clock);
    // Every recorded telegram as "SN:level", in the order of evaluation.
    QStringList seen;
    RecordingHooks recorded;
    recorded.insideRecord = [&](int n) {
        seen << QStringLiteral("%1:%2").arg(tanks.device(n).SN).arg(tanks.device(n).Volumen);
    };
    tanks.setHistoryHooks(&recorded);
    MockLinks mocks;
    switches.setActiveCom(true);
    switches.setActiveNet(true);
    LinkHardware mocked;
    mocked.links = mocks.factory();
    LinkManager link(tanks, switches, settings, services, texts, clock, mocked);
    link.InitCOM(2, "/dev/ttyUSB0");
    ASSERT_TRUE(link.serialOpen());

    // The TCP device's first telegram raises the alarm box.
    auto gateway = [&](int i) {
        mocks.tcp->feedLater(Telegram{.sn = 258, .status = 1, .levelWord = Bcd(i)}.bytes(), "127.0.0.1");
        return QStringLiteral("258:%1").arg(i);
    };
    QStringList expected{gateway(1000)};
    ASSERT_TRUE(WaitFor([&] { return seen.size() == 1 && boxOpen(); }));

    // Even numbers over TCP (device 258, with an alarm of its own), odd ones
    // on the serial line.
    int sent = 0;
    QTimer pace;
    pace.setInterval(GetParam().spacingMs);
    QObject::connect(&pace, &QTimer::timeout, [&] {
        const int i = sent++;
        if (sent == 20)
            pace.stop();
        if (i % 2) {
            expected << QStringLiteral("77:%1").arg(i);
            mocks.serial->feedLater(Telegram{.sn = 77, .status = 1, .levelWord = Bcd(i)}.bytes());
            return;
        }
        expected << gateway(i);
    });
    pace.start();
    ASSERT_TRUE(WaitFor([&] { return seen.size() >= 21; }, 20 * GetParam().spacingMs + 20000))
        << qPrintable(seen.join(' '));
    EXPECT_TRUE(boxOpen()) << "the first alarm's box is still open, and no other";

    // Closing the box goes on as before.
    if (GetParam().widgets)
        Shown<QMessageBox>().value(0)->accept();
    else
        ui.answerOpenBox();
    expected << gateway(2000);
    ASSERT_TRUE(WaitFor([&] { return seen.size() >= 22; })) << qPrintable(seen.join(' '));
    EXPECT_EQ(seen, expected);
}

INSTANTIATE_TEST_SUITE_P(, BoxHeldOpen,
                         ::testing::Values(BoxCase{"ScriptedBoxFakeClock", false, 100},
                                           BoxCase{"AlarmBoxOnScreenFor30s", true, 1500}),
                         [](const auto &info) { return std::string(info.param.name); });
