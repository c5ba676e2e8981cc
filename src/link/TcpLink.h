#pragma once
#include "DeviceLink.h"
#include "TcpLineReader.h"

#include <QByteArray>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <optional>

class Settings;
class Texts;

// "Com"/"ClientPort"; out of range or not a number gives 8000.
int StoredListenPort(const Settings &settings);
// "COM"/"ClientAdresse" as an address to listen on: empty (or blanks) is
// every interface; nullopt for a text that is no IP address.
std::optional<QHostAddress> ListenAddress(const QString &text);

// The TCP side of the device link: a server with one connection slot. A peer
// is greeted with "TANKMON\n" and sends telegrams as lines of hex digits.
class TcpLink : public DeviceLink
{
    Q_OBJECT
public:
    // Winsock-style state numbers, as the trace shows them.
    enum WinsockState { WinsockClosed = 0, WinsockListening = 2, WinsockConnected = 7, WinsockClosing = 8 };
    // A longer line is a broken or hostile peer and costs the connection.
    static constexpr qsizetype kMaxLineLength = TcpLineReader::kMaxLineLength;

    // config: where to listen, read at each open() (it outlives this
    // object). tickMs: the tick of the connection-time check (the cut comes
    // at the sixth); listening again waits a tenth of it after a cut, a tick
    // after an error.
    TcpLink(const TcpLinkConfig &config, const Texts &texts, int tickMs = 1000, QObject *parent = nullptr);
    ~TcpLink() override;

    // Starts listening at the configured port and address; on failure says
    // so with the address, the port and the system's reason (problem: as
    // status and in a box, and in the trace) and returns false.
    bool listen();
    bool open() override { return listen(); }
    // Drops the peer and stops listening.
    void close() override;

    // Open: listening; Connected: a peer in the slot.
    State state() const override;
    qint32 winConnectTime() const { return winConnectTime_; }
    qint32 connectedMs() const override { return winConnectTime_; }
    QString peer() const override;
    QString errorString() const override { return server_.errorString(); }
    QString remoteIP() const { return remoteIP_; }
    qsizetype lineLength() const { return lines_.partialLength(); }

private:
    void onNewConnection();
    void onReadyRead();
    void onDisconnected();
    // Frees the slot of a peer that closed, once its lines are evaluated.
    void closeAfterPeer();
    // Traces received bytes and holds them for the line reader.
    void take(const QByteArray &bytes);
    void onError(QAbstractSocket::SocketError e);
    void checkConnectionTime();
    void dropPeer();
    void relistenAfter(int ms);
    bool startListening();
    // Panel 1 and the trace; with box, a message box too.
    void sayCannotListen(const QString &reason, bool box);
    // Evaluates received lines for one slice of time, then returns to the
    // event loop (and continues in the next turn when more is there).
    void readSlice();

    const TcpLinkConfig &config_;
    const Texts &texts_; // outlives this object
    QTcpServer server_;
    QPointer<QTcpSocket> socket_;
    QTimer checkTimer_;
    QTimer relistenTimer_;
    QTimer sliceTimer_;
    TcpLineReader lines_;
    QString remoteIP_;
    bool peerClosed_ = false; // the peer closed; its received lines are still evaluated
    quint16 port_ = 8000;
    QHostAddress address_ = QHostAddress::Any;
    qint32 winConnectTime_ = 0;
    const int cutDelayMs_;
    const int errorDelayMs_;
};
