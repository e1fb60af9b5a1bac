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

TSocketTransport::TSocketTransport(EventLoop& loop) : FLoop(loop), Buffer(MaxLineLength + 1) {
    StatusMessage(8, "Create");
    Timer = std::make_unique<TThreadTimer>(FLoop);
    Timer->SetEnabled(false);
    Timer->SetOnTimer([this](TThreadTimer&) { TimerTriggered(); });

    // The first socket resets its connection when closed instead of lingering.
    StatusMessage(8, "Initializing Winsock");
    try {
        CreateSocket(sockets::IPv4Family(), true);
    } catch (...) {
        throw ESockError("Initializaton of windows sockets failed");
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
    Closing = true;
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
    if (error != Allowed && error > 10000) throw ESockError(LookUpErrorText(error));
}

std::string TSocketTransport::LookUpErrorText(std::int32_t Code) {
    StatusMessage(8, "Looking Up Error Message");
    return ErrorText(Code);
}

std::string TSocketTransport::NotConnectedText() {
    return LookUpErrorText(CloseErrorNo != 0 ? CloseErrorNo : SocketErrorNo::NotConnected);
}

// ---- sockets and their notifications ----

void TSocketTransport::CreateSocket(int family, bool lingerZero) {
    std::int32_t error = 0;
    const int fd = sockets::Open(family, lingerZero, error);
    if (fd < 0) CheckSocketError(error, 0);
    if (fd < 0) throw ESockError(LookUpErrorText(SocketErrorNo::BadFile));
    try {
        Watch = FLoop.WatchSocket(fd, [this](SocketReadiness readiness) { HandleSocketReady(readiness); });
    } catch (...) {
        sockets::Close(fd);
        throw;
    }
    Fd = fd;
    Family = family;
    LingerZero = lingerZero;
    ReadArmed = false;
    UpdateInterest();
}

// Closes the socket without telling anyone.
void TSocketTransport::DropSocket() {
    sockets::Close(ReleaseSocket());
}

// The watch goes first, so the loop never polls a closed (or reused)
// descriptor.
int TSocketTransport::ReleaseSocket() {
    Tls.reset();
    TlsInput.clear();
    Watch.reset();
    const int released = Fd;
    Fd = sockets::None;
    ConnectPending = false;
    SendWaiting = false;
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
    const bool read = FConnected && ReadArmed && !ConnectPending;
    const bool write = ConnectPending || (FConnected && SendWaiting);
    Watch->SetInterest(read, write);
}

void TSocketTransport::HandleSocketReady(SocketReadiness Readiness) {
    // Nothing raised while handling a notification leaves the transport.
    try {
        NotifiedError = Readiness.Error;
        if (ConnectPending) {
            if (Readiness.Writable || Readiness.Readable) HandleConnectDone();
        } else {
            if (Readiness.Writable && SendWaiting) WriteReady = true;
            if (Readiness.Readable && FConnected && ReadArmed) HandleReadable();
        }
        UpdateInterest();
    } catch (...) {}
}

void TSocketTransport::HandleConnectDone() {
    ConnectPending = false;
    const std::int32_t error = NotifiedError != 0 ? NotifiedError : sockets::ConnectOutcome(Fd);
    Succeeded = error == 0;
    if (!Succeeded) {
        FLastErrorNo = error;
        return;
    }
    FConnected = true;
    ReadArmed = true;
    UpdateInterest();
    if (OnConnect) OnConnect(*this);
}

// Readable: data arrived, or the peer closed or reset the connection. Like
// Winsock, data that waits unread is told about once; the next notice comes
// only after the program has read again, so unread data never makes the
// loop spin.
void TSocketTransport::HandleReadable() {
    char probe = 0;
    std::int32_t error = 0;
    const long n = sockets::Receive(Fd, &probe, 1, true, error);
    if (n > 0) {
        Succeeded = true;
        ReadArmed = false;
        return;
    }
    if (n < 0 && error == SocketErrorNo::WouldBlock && NotifiedError == 0) return;
    // A reset may be told with the close rather than by the read.
    if (NotifiedError != 0) error = NotifiedError;
    if (n < 0 || error != 0) FLastErrorNo = error;
    // The connection was closed; error is what the close carried.
    Succeeded = error == 0;
    if (!DataAvailable()) {
        CloseErrorNo = error;
        RequestCloseSocket();
    }
}

void TSocketTransport::RequestCloseSocket() {
    StatusMessage(4, "Request Close Socket");
    FConnected = false;
    if (Fd < 0) return;
    // The fresh socket is made before OnDisconnect runs, so a handler that
    // raises cannot leave the transport without one. It closes in order.
    bool fresh = true;
    if (Closing) {
        DropSocket();
    } else {
        try {
            ReplaceSocket(Family, false);
        } catch (...) {
            fresh = false;
        }
    }
    if (OnDisconnect && !Destroying) OnDisconnect(*this);
    if (!fresh) throw ESockError("Socket could not be created after close");
}

// ---- connection management ----

void TSocketTransport::ResolveHost() {
    StatusMessage(8, "Resolve Host");
    SocketAddress numeric;
    if (ParseNumericHost(Host, numeric)) {
        RemoteAddresses = {numeric};
        return;
    }
    RemoteAddresses.clear();
    TimerOn();
    OnScopeExit stop([this] {
        Lookup.reset();
        TimerOff();
    });
    Completed = false;
    if (Host.empty()) {
        Succeeded = false;  // nothing to look up
        Completed = true;
    } else {
        LookupAddresses.clear();
        try {
            Lookup = std::make_unique<HostLookup>(
                FLoop, Host, [this](std::int32_t error, const std::vector<SocketAddress>& addresses) {
                    Succeeded = error == 0;
                    if (error != 0) FLastErrorNo = error;
                    LookupAddresses = addresses;
                    Completed = true;
                });
        } catch (const std::system_error&) {
            throw ESockError("Host Lookup Failed");  // no worker could be started
        }
    }
    while (!Completed && !TimedOut && !Canceled) FLoop.WaitForEvents();
    if (TimedOut) throw ESockError("Host Lookup Timed Out");
    if (Canceled) throw ESockError("Host Lookup Canceled");
    if (!Succeeded) throw ESockError("Host Lookup Failed");
    RemoteAddresses = LookupAddresses;
    if (OnHostResolved) OnHostResolved(*this);
}

void TSocketTransport::Connect() {
    StatusMessage(8, "Connecting");
    Canceled = false;
    if (FConnected) throw ESockError("Already connected");
    if (Port < 1 || Port > 65535) throw ESockError("Invalid Port " + std::to_string(Port));

    if (HoldsControlCharacter(Host)) throw ESockError("Invalid character in host name");

    const auto anySet = [this] {
        for (const SocketAddress& address : RemoteAddresses) {
            if (address.IsSet()) return true;
        }
        return false;
    };
    int tries = 0;
    for (;;) {
        try {
            ResolveHost();
        } catch (const ESockError& error) {
            const std::string message = error.what();
            if (message == "Host Lookup Timed Out" || message == "Host Lookup Canceled") throw;
        }
        if (anySet()) break;
        if (tries > 0 || !OnInvalidHost) throw ESockError("Null Remote Address");
        bool handled = false;
        OnInvalidHost(handled);
        if (!handled) throw ESockError("Null Remote Address");
        ++tries;
    }

    // Every address in turn (a name may give ::1 before 127.0.0.1 while the
    // server listens on IPv4 only), all within the one time-out.
    std::string raised;
    {
        TimerOn();
        OnScopeExit stop([this] { TimerOff(); });
        const std::vector<SocketAddress> addresses = RemoteAddresses;
        for (const SocketAddress& address : addresses) {
            if (!address.IsSet()) continue;
            raised.clear();
            if (TryConnect(address, raised)) return;
            if (TimedOut || Canceled) break;
        }
    }
    if (!raised.empty() && !TimedOut && !Canceled) throw ESockError(raised);
    if (OnConnectionFailed) OnConnectionFailed(*this);
    if (TimedOut) throw ESockError("Connection Timed out");
    if (Canceled) throw ESockError("Connection Canceled");
    throw ESockError("Connection Failed");
}

bool TSocketTransport::TryConnect(const SocketAddress& Address, std::string& Raised) {
    RemoteAddress = Address;
    RemoteAddress.SetPort(static_cast<std::uint16_t>(Port));
    // The socket follows the address's family; an idle socket of the other
    // family (or none at all, after a failed re-creation) is replaced.
    if (Fd < 0 || Family != RemoteAddress.Family()) {
        const bool linger = Fd >= 0 ? LingerZero : false;
        try {
            ReplaceSocket(RemoteAddress.Family(), linger);
        } catch (const ESockError& error) {
            Raised = error.what();  // e.g. no IPv6 here: the next address may do
            return false;
        }
    }

    Completed = false;
    Succeeded = true;
    CloseErrorNo = 0;
    // Interest first: a system that tells the outcome only once may tell it
    // before the call returns.
    ConnectPending = true;
    UpdateInterest();
    const std::int32_t error = sockets::StartConnect(Fd, RemoteAddress);
    ConnectPending = error == 0;  // told through the notification, as always
    if (error != 0 && IsConnectOutcome(error)) {
        FLastErrorNo = error;
        Succeeded = false;
    } else if (error != 0) {
        try {
            CheckSocketError(error, SocketErrorNo::WouldBlock);
        } catch (const ESockError& failure) {
            Raised = failure.what();
        }
        Succeeded = false;
    }
    UpdateInterest();

    while (!FConnected && !TimedOut && !Canceled && Succeeded) FLoop.WaitForEvents();
    if (!TimedOut && !Canceled && Succeeded && FConnected) return true;

    // The attempt's socket is replaced: after a time-out or cancel the
    // attempt may still be running and could come up later behind the
    // program's back, and a socket whose connect failed cannot be trusted to
    // connect again (POSIX leaves its state unspecified).
    if (FConnected) {
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
    Canceled = true;
}

void TSocketTransport::Abort() {
    StatusMessage(8, "Abort");
    Cancel();
}

bool TSocketTransport::DataAvailable() {
    StatusMessage(8, "Data Available");
    char probe = 0;
    std::int32_t error = 0;
    if (Tls && (!TlsInput.empty() || Tls->HasBufferedInput())) return true;
    return Fd >= 0 && sockets::Receive(Fd, &probe, 1, true, error) >= 1;
}

// ---- the time-out ----

void TSocketTransport::TimerOn() {
    StatusMessage(8, "Timer On");
    TimedOut = false;
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
    TimedOut = true;
    Completed = true;
    Abort();
}

}  // namespace quorvel
