// While the alarm box is open, telegrams of every link go on being
// evaluated: two devices, one on the serial link and one on the TCP link.
// (That the widget boxes return before they are answered: QtUiTest.)
#include "support/MockLink.h"
#include "ui/UiTestSupport.h"

#include "link/LinkManager.h"

using BoxHeldOpen = ControllerTest;

TEST_F(BoxHeldOpen, TwentyTelegramsOfTwoLinksEvaluatedInOrderOnce)
{
    ui.holdBoxes = true;
    // Every recorded telegram as "SN:level", in the order of evaluation.
    QStringList seen;
    hooks.insideRecord = [&](int n) {
        seen << QStringLiteral("%1:%2").arg(tanks.device(n).SN).arg(tanks.device(n).Volumen);
    };
    MockLinks mocks;
    switches.setActiveCom(true);
    switches.setActiveNet(true);
    LinkHardware mocked;
    mocked.links = mocks.factory();
    LinkManager link(tanks, switches, settings, ui, texts, clock, mocked);
    link.InitCOM(2, "/dev/ttyUSB0");
    ASSERT_TRUE(link.serialOpen());

    // Device 258 over TCP, with an alarm: its first telegram raises the box.
    // Then even numbers over TCP, odd ones from device 77 on the serial line.
    QStringList expected;
    const auto send = [&](int i, int ms) {
        const int sn = i % 2 ? 77 : 258;
        MockLink *via = i % 2 ? mocks.serial : mocks.tcp;
        via->feedLater(Telegram{.sn = sn, .status = 1, .levelWord = Bcd(i)}.bytes(), i % 2 ? "" : "127.0.0.1",
                       ms);
        expected << QStringLiteral("%1:%2").arg(sn).arg(i);
    };
    send(1000, 0);
    ASSERT_TRUE(WaitFor([&] { return seen.size() == 1 && ui.openBoxes() == 1; }));
    for (int i = 0; i < 20; ++i)
        send(i, 50 * i);
    ASSERT_TRUE(WaitFor([&] { return seen.size() >= 21; })) << qPrintable(seen.join(' '));
    EXPECT_EQ(ui.openBoxes(), 1) << "the first alarm's box is still open, and no other";

    // Closing the box goes on as before.
    ui.answerOpenBox();
    send(2000, 0);
    ASSERT_TRUE(WaitFor([&] { return seen.size() >= 22; })) << qPrintable(seen.join(' '));
    EXPECT_EQ(seen, expected);
}
