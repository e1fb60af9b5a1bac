#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/ByteChannel.h"
#include "net/EventLoop.h"
#include "net/HostLookup.h"
#include "net/LineReader.h"
#include "net/SocketErrors.h"
#include "net/ThreadTimer.h"
#include "net/TlsSession.h"

namespace quorvel {

// One TCP client socket offered through blocking-style operations: resolve
// and connect, write a line, read a line, send a command and read its reply,
// close. The socket itself is non-blocking; every operation that has to wait
// does so inside IEventLoop::WaitForEvents, so timers, user input and the
// socket's own notifications are handled meanwhile and the processor sleeps.
//
// Socket readiness is turned into the notifications a Winsock program gets
// (connect completed, data arrived, connection closed, with an error number)
// and handled at the same points: inside the pump step of a wait.
//
// Where the connection stands is one phase (idle, resolving, connecting,
// connected, in the TLS handshake, on TLS). Bytes go through one channel,
// the socket or, once StartTls ran, the TLS session, and lines come from
// one reader over that channel.
class TSocketTransport {
public:
    using TNotifyEvent = std::function<void(TSocketTransport&)>;
    using THandlerEvent = std::function<void(bool& Handled)>;
    using TOnStatus = std::function<void(TSocketTransport&, const std::string&)>;

    // Longest line ReadLn assembles, and longest text Write sends.
    static constexpr std::size_t MaxLineLength = TLineReader::MaxLineLength;
    static constexpr std::size_t MaxTextLength = 65535;

    explicit TSocketTransport(IEventLoop& Loop);
    virtual ~TSocketTransport();
    TSocketTransport(const TSocketTransport&) = delete;
    TSocketTransport& operator=(const TSocketTransport&) = delete;

    // Name or numeric address (dotted IPv4 or an IPv6 literal) of the server.
    std::string Host;
    // Server TCP port; Connect refuses a value outside 1..65535.
    std::int32_t Port = 0;
    // Highest status level that is reported through OnStatus.
    std::int32_t ReportLevel = 0;

    // Limit of each single wait in milliseconds; 0 means no limit. A
    // negative value is refused with an exception.
    void SetTimeOut(std::int32_t Milliseconds);
    std::int32_t TimeOut() const { return FTimeOut; }

    bool Connected() const { return IsOpen(FPhase); }
    // The reply line of the last completed Transaction, line end included.
    const std::string& LastReply() const { return FLastReply; }
    // Leading decimal number of LastReply, 0 when it has none.
    std::int16_t ReplyNumber() const { return FReplyNumber; }
    // The last status text reported.
    const std::string& Status() const { return FStatus; }
    // Number of the last socket error fetched (0 when none).
    std::int32_t LastErrorNo() const { return FLastErrorNo; }

    // What StartTls trusts besides the system's store: a CA file, and one
    // certificate (SHA-256, NormalizeFingerprint form) accepted when the
    // normal check fails it. Accepting any certificate is only for showing
    // the user what a server presents.
    std::string TlsCaFile;
    std::string TlsPinnedSha256;
    bool TlsAcceptAnyCertificate = false;

    TNotifyEvent OnConnect, OnDisconnect, OnConnectionFailed, OnHostResolved;
    THandlerEvent OnInvalidHost;
    TOnStatus OnStatus;

    // Resolves Host and connects to Port; returns only when the connection
    // is up. A name with several addresses is tried address by address, in
    // the resolver's order, within the one time-out; when all fail, the last
    // failure is reported. A Host holding a control character (a NUL cuts
    // the name the resolver sees) fails at once, without a connection.
    virtual void Connect();
    // Closes the connection and makes a fresh socket.
    virtual void Disconnect();
    // Sends Command with CR LF and returns the reply line, line end included.
    virtual std::string Transaction(const std::string& Command);
    // Ends the current wait (a time-out calls this).
    virtual void Abort();

    // Runs the TLS handshake on the open connection, within the time-out;
    // from then on every read and write goes through TLS until the
    // connection closes. Raises ESockError with the failure's fixed text
    // (TlsFailureText, TlsHandshakeTimedOutText), or EAbortError. AfterStls:
    // the server has just agreed to STLS, so an answer that is not TLS is
    // TlsPlaintextAfterStlsText.
    void StartTls(bool AfterStls = false);
    bool TlsActive() const { return Tls != nullptr; }
    // Whether the running TLS session resumed an earlier one.
    bool TlsResumed() const { return Tls != nullptr && Tls->Resumed(); }
    // The certificate the last handshake saw, when it saw one.
    const std::optional<TTlsCertificate>& PeerCertificate() const { return FPeerCertificate; }

    void Cancel();
    // Sends Text up to its first NUL.
    void Write(const std::string& Text);
    // Sends Text followed by CR LF.
    void Writeln(const std::string& Text);
    // Sends Length bytes of Data; Length 0 means up to the first NUL.
    void SendBuffer(const char* Data, std::uint16_t Length);
    // Reads one line, its line end included; what came after it is kept for
    // the next ReadLn. The empty text when the server closed before a line
    // began.
    std::string ReadLn();
    // Discards what the reader holds and at most one read's worth of
    // pending input, without waiting.
    void ClearInput();
    // Whether input is waiting: held by the reader (a line or the start of
    // one), by the TLS session, or in the socket.
    bool DataAvailable();

protected:
    // Called first by a descendant's destructor, so that the clean-up it
    // runs (its own Abort) reports to no handler and makes no fresh socket,
    // as the base's does.
    void BeginDestroy() { Destroying = true; }
    IEventLoop& Loop() { return FLoop; }

    void StatusMessage(std::uint8_t Level, const std::string& Text);
    void RequestCloseSocket();
    // The failure of a read or send that found the connection gone: the
    // error the closing notification carried, else 10057 "Socket is not
    // connected".
    ESockError NotConnectedError();

private:
    // Where the connection stands; every socket notification and every
    // operation looks here first.
    enum class Phase {
        Idle,           // a fresh socket, no connection
        Resolving,      // the host look-up runs
        Connecting,     // a connect is under way; its outcome is not yet told
        ConnectFailed,  // the outcome was a failure; the socket is replaced next
        Connected,      // the connection is up; bytes go as they are
        TlsHandshake,   // the TLS handshake runs (or failed) on the connection
        TlsOpen,        // the connection is up; every byte goes through TLS
    };
    static bool IsOpen(Phase Value) {
        return Value == Phase::Connected || Value == Phase::TlsHandshake || Value == Phase::TlsOpen;
    }
    // What ends the current wait early: a cancel, or the time-out (which
    // cancels too). A cancel that comes between waits ends the next one.
    enum class Interrupt { None, Canceled, TimedOut };

    void ResolveHost();
    void TimerOn();
    void TimerOff();
    void TimerTriggered();
    // Stores the socket error Error in LastErrorNo and raises it unless it
    // is Allowed or 10000 or below.
    void CheckSocketError(std::int32_t Error, std::int32_t Allowed);
    // A failed socket call's error number as an ESockError.
    ESockError SocketCallError(std::int32_t Code);
    // ErrorText, reported as a step of its own.
    std::string LookUpErrorText(std::int32_t Code);
    // One connection attempt to Address inside Connect's wait; true when the
    // connection is up. A failed attempt leaves a fresh socket; Raised gets
    // a socket error that the attempt raised.
    bool TryConnect(const TSocketAddress& Address, std::optional<ESockError>& Raised);

    void CreateSocket(int Family, bool LingerZero);
    void DropSocket();
    int ReleaseSocket();
    void ReplaceSocket(int Family, bool LingerZero);
    void UpdateInterest();
    void HandleSocketReady(TSocketReadiness Readiness);
    void HandleConnectDone(std::int32_t NotifiedError);
    void HandleReadable(std::int32_t NotifiedError);
    // Whether a whole line waits in the reader, or input in the TLS
    // session: it keeps a closed connection open until it is read.
    bool UnreadInput();

    // The channel of an open connection (TLS once started), else null.
    IByteChannel* Channel();
    // Raises why the channel's last step Failed.
    [[noreturn]] void RaiseChannelFailure();
    // Waits once in the loop for what Step asks: readable or writable.
    void WaitFor(IoStep Step);
    // Asks to be told of input (and of the close) again.
    void ListenForInput();

    IEventLoop& FLoop;
    std::unique_ptr<TThreadTimer> Timer;
    std::unique_ptr<THostLookup> Lookup;
    std::unique_ptr<ISocketWatch> Watch;
    int Fd = sockets::None;
    int Family = 0;
    bool LingerZero = false;

    Phase FPhase = Phase::Idle;
    Interrupt Pending = Interrupt::None;
    // The transport is being destroyed: sockets are dropped, not replaced,
    // and no handler is told.
    bool Destroying = false;
    // Input (or the close) was told and has not been read since: told once,
    // as Winsock does, so unread data never makes the loop spin.
    bool InputNoticed = false;
    // A send waits for room in the socket.
    bool WaitingForRoom = false;

    TSocketChannel Plain;              // the connection's own bytes
    std::unique_ptr<ITlsSession> Tls;  // set from StartTls until the connection closes
    TLineReader Reader;
    std::optional<TTlsCertificate> FPeerCertificate;
    TSocketAddress RemoteAddress;                 // the address being connected to
    std::vector<TSocketAddress> RemoteAddresses;  // every address of Host, in order
    // The look-up's answer; empty when it found nothing.
    std::optional<std::vector<TSocketAddress>> LookupAnswer;

    std::int32_t FTimeOut = 0;
    std::int32_t FLastErrorNo = 0;
    // Error number carried by the notification that closed the connection.
    std::int32_t CloseErrorNo = 0;
    std::string FStatus;
    std::string FLastReply;
    std::int16_t FReplyNumber = 0;
};

}  // namespace quorvel
