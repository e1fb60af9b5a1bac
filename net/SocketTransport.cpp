#include "net/SocketTransport.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "core/ScopeExit.h"
#include "core/VisibleText.h"

namespace quorvel {

namespace {

// Errors of connect() that mean the attempt itself failed, as a connect
// completion with an error would tell.
bool IsConnectOutcome(int error) {
    return error == ECONNREFUSED || error == ENETUNREACH || error == EHOSTUNREACH || error == ETIMEDOUT ||
           error == ECONNRESET || error == EAGAIN;
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
        CreateSocket(AF_INET, true);
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

void TSocketTransport::CheckSocketError(int Errno, std::int32_t Allowed) {
    const std::int32_t error = SocketErrorFromErrno(Errno);
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
    const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) CheckSocketError(errno, 0);
    if (fd < 0) throw ESockError(LookUpErrorText(SocketErrorNo::BadFile));
    if (lingerZero) {
        linger option{};
        option.l_onoff = 1;
        option.l_linger = 0;
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof(option));
    }
    try {
        Watch = FLoop.WatchSocket(fd, [this](SocketReadiness readiness) { HandleSocketReady(readiness); });
    } catch (...) {
        ::close(fd);
        throw;
    }
    Fd = fd;
    Family = family;
    LingerZero = lingerZero;
    ReadArmed = false;
    UpdateInterest();
}

// Closes the socket without telling anyone; the watch goes first, so the
// loop never polls a closed (or reused) descriptor.
void TSocketTransport::DropSocket() {
    Tls.reset();
    TlsInput.clear();
    Watch.reset();
    if (Fd >= 0) ::close(Fd);
    Fd = -1;
    ConnectPending = false;
    SendWaiting = false;
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
    int error = 0;
    socklen_t length = sizeof(error);
    if (::getsockopt(Fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error == 0) {
        sockaddr_storage peer{};
        socklen_t peerLength = sizeof(peer);
        if (::getpeername(Fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) error = errno;
    }
    Succeeded = error == 0;
    if (!Succeeded) {
        FLastErrorNo = SocketErrorFromErrno(error);
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
    const ssize_t n = ::recv(Fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        Succeeded = true;
        ReadArmed = false;
        return;
    }
    std::int32_t error = 0;
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
        error = SocketErrorFromErrno(errno);
        FLastErrorNo = error;
    }
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
    const int family = Family;
    DropSocket();
    // The fresh socket is made before OnDisconnect runs, so a handler that
    // raises cannot leave the transport without one. It closes in order.
    bool fresh = true;
    if (!Closing) {
        try {
            CreateSocket(family, false);
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
        DropSocket();
        try {
            CreateSocket(RemoteAddress.Family(), linger);
        } catch (const ESockError& error) {
            Raised = error.what();  // e.g. no IPv6 here: the next address may do
            return false;
        }
    }

    Completed = false;
    Succeeded = true;
    CloseErrorNo = 0;
    const int result = ::connect(Fd, reinterpret_cast<const sockaddr*>(&RemoteAddress.Storage), RemoteAddress.Length);
    const int error = result == 0 ? 0 : errno;
    if (error == 0 || error == EINPROGRESS) {
        ConnectPending = true;  // told through the notification, as always
    } else if (IsConnectOutcome(error)) {
        FLastErrorNo = SocketErrorFromErrno(error);
        Succeeded = false;
    } else {
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
        const int family = Family;
        const bool linger = LingerZero;
        DropSocket();
        CreateSocket(family, linger);
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
    if (Tls && (!TlsInput.empty() || Tls->HasBufferedInput())) return true;
    return Fd >= 0 && ::recv(Fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT) >= 1;
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
