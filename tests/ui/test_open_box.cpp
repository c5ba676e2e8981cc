// While the alarm box is open, telegrams of every link go on being
// evaluated: two devices, one on a pseudo-terminal and one behind a TCP
// gateway that hangs up after each telegram.
#include "link/LinkTestSupport.h"
#include "ui/UiTestSupport.h"

#include "core/Catalogue.h"
#include "ui/QtUi.h"

#include <QTcpSocket>

namespace {

struct BoxCase {
    const char *name;
    bool widgets;  // the real box on the offscreen screen, else the scripted one
    int spacingMs; // between two telegrams
};
void PrintTo(const BoxCase &c, std::ostream *os) { *os << c.name; }

class BoxHeldOpen : public UiTest, public ::testing::WithParamInterface<BoxCase> {
protected:
    bool boxOpen() const { return (GetParam().widgets ? Shown<QMessageBox>().size() : ui.openBoxes()) == 1; }
    QtUi qtUi{[] { return QStringLiteral("Tankmon"); }};
};

} // namespace

TEST_P(BoxHeldOpen, TwentyTelegramsOfTwoLinksEvaluatedInOrderOnce)
{
    ui.holdBoxes = true;
    UiServices &services = GetParam().widgets ? static_cast<UiServices &>(qtUi) : ui;
    TankController tanks(config, settings, services, clock);
    // Every recorded telegram as "SN:level", in the order of evaluation.
    QStringList seen;
    RecordingHooks recorded;
    recorded.insideRecord = [&](int n) {
        seen << QStringLiteral("%1:%2").arg(tanks.device(n).SN).arg(tanks.device(n).Volumen);
    };
    tanks.setHistoryHooks(&recorded);
    PtyPair pty(tmp_.path());
    ASSERT_TRUE(pty.start());
    const quint16 port = FreeTcpPort();
    settings.write(Cfg::ClientPort, qint64(port));
    config.activeCom = config.activeNet = true;
    LinkManager link(tanks, config, settings, services, clock);
    link.InitCOM(2, pty.device());
    ASSERT_TRUE(link.serialOpen());

    // A gateway that hangs up at once raises the alarm box.
    QObject parent;
    auto gateway = [&](int i) {
        auto *peer = new QTcpSocket(&parent);
        QObject::connect(peer, &QTcpSocket::readyRead, [peer, i] {
            peer->write(HexLine(Telegram{.sn = 258, .status = 1, .levelWord = Bcd(i)}.bytes()));
            peer->disconnectFromHost();
        });
        peer->connectToHost(QHostAddress::LocalHost, port);
        return QStringLiteral("258:%1").arg(i);
    };
    QStringList expected{gateway(1000)};
    ASSERT_TRUE(WaitFor([&] { return seen.size() == 1 && boxOpen(); }));

    // Even numbers through the gateway (device 258, with an alarm of its
    // own), odd ones on the serial line.
    int sent = 0;
    QTimer pace;
    pace.setInterval(GetParam().spacingMs);
    QObject::connect(&pace, &QTimer::timeout, [&] {
        const int i = sent++;
        if (sent == 20)
            pace.stop();
        if (i % 2) {
            expected << QStringLiteral("77:%1").arg(i);
            pty.write(Telegram{.sn = 77, .status = 1, .levelWord = Bcd(i)}.bytes());
            return;
        }
        expected << gateway(i);
    });
    pace.start();
    ASSERT_TRUE(WaitFor([&] { return seen.size() >= 21; }, 20 * GetParam().spacingMs + 20000))
        << qPrintable(seen.join(' '));
    EXPECT_TRUE(boxOpen()) << "the first alarm's box is still open, and no other";

    // Closing the box long after its gateway left goes on without it.
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
