#include "net/SocketTransport.h"

#include <system_error>

#include "core/ScopeExit.h"
#include "core/VisibleText.h"

namespace quorvel {

namespace {

// Errors of starting a connect that mean the attempt itself failed, as a
// connect completion with an error would tell.
bool IsConnectOutcome(std::int32_t error) {
    return error == SocketErrorNo::ConnectionRefused || error == 10051 || error == 10065 ||
           error == SocketErrorNo::TimedOut || error == SocketErrorNo::ConnectionReset ||
           error == SocketErrorNo::WouldBlock;
}

}  // namespace

TSocketTransport::TSocketTransport(IEventLoop& loop) : FLoop(loop) {
    StatusMessage(8, "Create");
    Timer = std::make_unique<TThreadTimer>(FLoop);
    Timer->SetEnabled(false);
    Timer->SetOnTimer([this](TThreadTimer&) { TimerTriggered(); });

    // The first socket resets its connection when closed instead of lingering.
    StatusMessage(8, "Initializing Winsock");
    try {
        CreateSocket(sockets::IPv4Family(), true);
    } catch (...) {
        throw ESockError(SockFailure::Startup, "Initializaton of windows sockets failed");
    }
}

TSocketTransport::~TSocketTransport() {
    Destroying = true;
    StatusMessage(8, "Destroy");
    try {
        TSocketTransport::Abort();
        Cancel();
    } catch (...) {}
    Lookup.reset();
    Timer.reset();
    try {
        RequestCloseSocket();
    } catch (...) {}
}

void TSocketTransport::SetTimeOut(std::int32_t Milliseconds) {
    if (Milliseconds < 0) throw Exception("TimeOut must not be negative");
    FTimeOut = Milliseconds;
}

void TSocketTransport::StatusMessage(std::uint8_t Level, const std::string& Text) {
    if (Level > ReportLevel) return;
    try {
        FStatus = Text;
        if (!Destroying && OnStatus) {
            const std::string status = FStatus;
            OnStatus(*this, status);
        }
    } catch (...) {}
}

void TSocketTransport::CheckSocketError(std::int32_t error, std::int32_t Allowed) {
    FLastErrorNo = error;
    if (error != Allowed && error > 10000) throw SocketCallError(error);
}

ESockError TSocketTransport::SocketCallError(std::int32_t Code) {
    return ESockError(SockFailure::SocketCall, LookUpErrorText(Code), Code);
}

std::string TSocketTransport::LookUpErrorText(std::int32_t Code) {
    StatusMessage(8, "Looking Up Error Message");
    return ErrorText(Code);
}

ESockError TSocketTransport::NotConnectedError() {
    const std::int32_t code = CloseErrorNo != 0 ? CloseErrorNo : SocketErrorNo::NotConnected;
    return ESockError(SockFailure::NotConnected, LookUpErrorText(code), code);
}

// ---- sockets and their notifications ----

void TSocketTransport::CreateSocket(int family, bool lingerZero) {
    std::int32_t error = 0;
    const int fd = sockets::Open(family, lingerZero, error);
    if (fd < 0) CheckSocketError(error, 0);
    if (fd < 0) throw SocketCallError(SocketErrorNo::BadFile);
    try {
        Watch = FLoop.WatchSocket(fd, [this](TSocketReadiness readiness) { HandleSocketReady(readiness); });
    } catch (...) {
        sockets::Close(fd);
        throw;
    }
    Fd = fd;
    Plain.SetSocket(fd);
    Family = family;
    LingerZero = lingerZero;
    InputNoticed = false;
    UpdateInterest();
}

// Closes the socket without telling anyone.
void TSocketTransport::DropSocket() {
    sockets::Close(ReleaseSocket());
}

// The watch goes first, so the loop never polls a closed (or reused)
// descriptor. Whatever the connection was, it is over.
int TSocketTransport::ReleaseSocket() {
    Tls.reset();
    Reader.Clear();
    Watch.reset();
    const int released = Fd;
    Fd = sockets::None;
    Plain.SetSocket(sockets::None);
    FPhase = Phase::Idle;
    WaitingForRoom = false;
    return released;
}

// The old socket is closed only once the new one exists, so the new one
// never gets the old one's handle: Winsock under Wine loses the
// notifications of a socket whose handle was just in use.
void TSocketTransport::ReplaceSocket(int family, bool lingerZero) {
    const int old = ReleaseSocket();
    OnScopeExit close([old] { sockets::Close(old); });
    CreateSocket(family, lingerZero);
}

void TSocketTransport::UpdateInterest() {
    if (!Watch) return;
    const bool open = Connected();
    Watch->SetInterest(open && !InputNoticed, FPhase == Phase::Connecting || (open && WaitingForRoom));
}

void TSocketTransport::HandleSocketReady(TSocketReadiness Readiness) {
    // Nothing raised while handling a notification leaves the transport.
    try {
        if (FPhase == Phase::Connecting) {
            if (Readiness.Writable || Readiness.Readable) HandleConnectDone(Readiness.Error);
        } else if (Readiness.Readable && Connected() && !InputNoticed) {
            HandleReadable(Readiness.Error);
        }
        UpdateInterest();
    } catch (...) {}
}

void TSocketTransport::HandleConnectDone(std::int32_t NotifiedError) {
    const std::int32_t error = NotifiedError != 0 ? NotifiedError : sockets::ConnectOutcome(Fd);
    if (error != 0) {
        FLastErrorNo = error;
        FPhase = Phase::ConnectFailed;
        return;
    }
    FPhase = Phase::Connected;
    InputNoticed = false;
    UpdateInterest();
    if (OnConnect) OnConnect(*this);
}

// Readable: data arrived, or the peer closed or reset the connection. Like
// Winsock, input that waits unread is told about once; the next notice comes
// only after the program has read again, so unread input never makes the
// loop spin.
void TSocketTransport::HandleReadable(std::int32_t NotifiedError) {
    char probe = 0;
    std::int32_t error = 0;
    const long n = sockets::Receive(Fd, &probe, 1, true, error);
    if (n > 0) {
        InputNoticed = true;
        return;
    }
    if (n < 0 && error == SocketErrorNo::WouldBlock && NotifiedError == 0) return;
    // A reset may be told with the close rather than by the read.
    if (NotifiedError != 0) error = NotifiedError;
    if (n < 0 || error != 0) FLastErrorNo = error;
    // The connection was closed; error is what the close carried. A line
    // not read yet is read first; the close is seen after it.
    if (UnreadInput()) {
        InputNoticed = true;
        return;
    }
    CloseErrorNo = error;
    RequestCloseSocket();
}

bool TSocketTransport::UnreadInput() {
    StatusMessage(8, "Data Available");
    return Reader.HoldsLine() || (Tls && Tls->HasBufferedInput());
}

void TSocketTransport::RequestCloseSocket() {
    StatusMessage(4, "Request Close Socket");
    FPhase = Phase::Idle;
    if (Fd < 0) return;
    // The fresh socket is made before OnDisconnect runs, so a handler that
    // raises cannot leave the transport without one. It closes in order.
    bool fresh = true;
    if (Destroying) {
        DropSocket();
    } else {
        try {
            ReplaceSocket(Family, false);
        } catch (...) {
            fresh = false;
        }
    }
    if (OnDisconnect && !Destroying) OnDisconnect(*this);
    if (!fresh) throw ESockError(SockFailure::SocketLost, "Socket could not be created after close");
}

// ---- connection management ----

void TSocketTransport::ResolveHost() {
    StatusMessage(8, "Resolve Host");
    TSocketAddress numeric;
    if (ParseNumericHost(Host, numeric)) {
        RemoteAddresses = {numeric};
        return;
    }
    RemoteAddresses.clear();
    TimerOn();
    OnScopeExit stop([this] {
        Lookup.reset();
        if (FPhase == Phase::Resolving) FPhase = Phase::Idle;
        TimerOff();
    });
    LookupAnswer.reset();
    if (!Host.empty()) {  // an empty one has nothing to look up
        FPhase = Phase::Resolving;
        try {
            Lookup = std::make_unique<THostLookup>(
                FLoop, Host, [this](std::int32_t error, const std::vector<TSocketAddress>& addresses) {
                    if (error != 0) FLastErrorNo = error;
                    if (error == 0) LookupAnswer = addresses;
                    FPhase = Phase::Idle;
                });
        } catch (const std::system_error&) {
            // no worker could be started
            throw ESockError(SockFailure::LookupFailed, "Host Lookup Failed");
        }
    }
    while (FPhase == Phase::Resolving && Pending == Interrupt::None) FLoop.WaitForEvents();
    if (Pending == Interrupt::TimedOut) throw ESockError(SockFailure::LookupTimedOut, "Host Lookup Timed Out");
    if (Pending == Interrupt::Canceled) throw ESockError(SockFailure::LookupCanceled, "Host Lookup Canceled");
    if (!LookupAnswer) throw ESockError(SockFailure::LookupFailed, "Host Lookup Failed");
    RemoteAddresses = *LookupAnswer;
    if (OnHostResolved) OnHostResolved(*this);
}

void TSocketTransport::Connect() {
    StatusMessage(8, "Connecting");
    Pending = Interrupt::None;
    if (Connected()) throw ESockError(SockFailure::AlreadyConnected, "Already connected");
    if (Port < 1 || Port > 65535) {
        throw ESockError(SockFailure::InvalidPort, "Invalid Port " + std::to_string(Port));
    }
    if (HoldsControlCharacter(Host)) throw ESockError(SockFailure::InvalidHost, "Invalid character in host name");

    const auto anySet = [this] {
        for (const TSocketAddress& address : RemoteAddresses) {
            if (address.IsSet()) return true;
        }
        return false;
    };
    int tries = 0;
    for (;;) {
        try {
            ResolveHost();
        } catch (const ESockError& error) {
            // A look-up that found nothing reads as no address below.
            if (error.Kind() == SockFailure::LookupTimedOut || error.Kind() == SockFailure::LookupCanceled) throw;
        }
        if (anySet()) break;
        if (tries > 0 || !OnInvalidHost) throw ESockError(SockFailure::NoAddress, "Null Remote Address");
        bool handled = false;
        OnInvalidHost(handled);
        if (!handled) throw ESockError(SockFailure::NoAddress, "Null Remote Address");
        ++tries;
    }

    // Every address in turn (a name may give ::1 before 127.0.0.1 while the
    // server listens on IPv4 only), all within the one time-out.
    std::optional<ESockError> raised;
    {
        TimerOn();
        OnScopeExit stop([this] { TimerOff(); });
        const std::vector<TSocketAddress> addresses = RemoteAddresses;
        for (const TSocketAddress& address : addresses) {
            if (!address.IsSet()) continue;
            raised.reset();
            if (TryConnect(address, raised)) return;
            if (Pending != Interrupt::None) break;
        }
    }
    if (raised && Pending == Interrupt::None) throw *raised;
    if (OnConnectionFailed) OnConnectionFailed(*this);
    if (Pending == Interrupt::TimedOut) throw ESockError(SockFailure::ConnectTimedOut, "Connection Timed out");
    if (Pending == Interrupt::Canceled) throw ESockError(SockFailure::ConnectCanceled, "Connection Canceled");
    throw ESockError(SockFailure::ConnectFailed, "Connection Failed");
}

bool TSocketTransport::TryConnect(const TSocketAddress& Address, std::optional<ESockError>& Raised) {
    RemoteAddress = Address;
    RemoteAddress.SetPort(static_cast<std::uint16_t>(Port));
    // The socket follows the address's family; an idle socket of the other
    // family (or none at all, after a failed re-creation) is replaced.
    if (Fd < 0 || Family != RemoteAddress.Family()) {
        const bool linger = Fd >= 0 ? LingerZero : false;
        try {
            ReplaceSocket(RemoteAddress.Family(), linger);
        } catch (const ESockError& error) {
            Raised = error;  // e.g. no IPv6 here: the next address may do
            return false;
        }
    }

    CloseErrorNo = 0;
    // Interest first: a system that tells the outcome only once may tell it
    // before the call returns.
    FPhase = Phase::Connecting;
    UpdateInterest();
    const std::int32_t error = sockets::StartConnect(Fd, RemoteAddress);
    if (error != 0) {
        // Otherwise told through the notification, as always.
        FPhase = Phase::ConnectFailed;
        if (IsConnectOutcome(error)) {
            FLastErrorNo = error;
        } else {
            try {
                CheckSocketError(error, SocketErrorNo::WouldBlock);
            } catch (const ESockError& failure) {
                Raised = failure;
            }
        }
    }
    UpdateInterest();

    while (FPhase == Phase::Connecting && Pending == Interrupt::None) FLoop.WaitForEvents();
    if (Pending == Interrupt::None && Connected()) return true;

    // The attempt's socket is replaced: after a time-out or cancel the
    // attempt may still be running and could come up later behind the
    // program's back, and a socket whose connect failed cannot be trusted to
    // connect again (POSIX leaves its state unspecified).
    if (Connected()) {
        RequestCloseSocket();
    } else {
        ReplaceSocket(Family, LingerZero);
    }
    return false;
}

void TSocketTransport::Disconnect() {
    StatusMessage(8, "Disconnecting");
    CloseErrorNo = 0;
    if (Tls) Tls->Close();
    RequestCloseSocket();
}

void TSocketTransport::Cancel() {
    StatusMessage(8, "Canceling");
    if (Pending == Interrupt::None) Pending = Interrupt::Canceled;
}

void TSocketTransport::Abort() {
    StatusMessage(8, "Abort");
    Cancel();
}

bool TSocketTransport::DataAvailable() {
    StatusMessage(8, "Data Available");
    if (!Reader.Empty() || (Tls && Tls->HasBufferedInput())) return true;
    char probe = 0;
    std::int32_t error = 0;
    return Fd >= 0 && sockets::Receive(Fd, &probe, 1, true, error) >= 1;
}

// ---- the time-out ----

void TSocketTransport::TimerOn() {
    StatusMessage(8, "Timer On");
    // A cancel stays pending; a time-out belongs to the wait it ended.
    if (Pending == Interrupt::TimedOut) Pending = Interrupt::Canceled;
    Timer->SetInterval(static_cast<std::uint32_t>(FTimeOut));
    Timer->SetEnabled(true);
}

void TSocketTransport::TimerOff() {
    StatusMessage(8, "Timer Off");
    if (Timer) Timer->SetEnabled(false);
}

void TSocketTransport::TimerTriggered() {
    StatusMessage(8, "Timer Triggered");
    TimerOff();
    Pending = Interrupt::TimedOut;
    Abort();
}

}  // namespace quorvel
