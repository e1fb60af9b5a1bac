// TLS on the transport's connection: the handshake. From then on the line
// exchange reads and writes through the session instead of the socket.
#include "core/ScopeExit.h"
#include "net/SocketTransport.h"

namespace quorvel {

void TSocketTransport::StartTls(bool AfterStls) {
    StatusMessage(8, "Start TLS");
    if (!Connected() || Fd < 0) throw NotConnectedError();
    if (Tls) throw ESockError(SockFailure::TlsAlreadyRunning, "TLS is already running");
    FPeerCertificate.reset();
    Tls = StartTlsClient(Fd, {Host, TlsCaFile, TlsPinnedSha256, TlsAcceptAnyCertificate, Port});
    FPhase = Phase::TlsHandshake;
    TimerOn();
    OnScopeExit stop([this] { TimerOff(); });

    while (Pending == Interrupt::None) {
        // The connection closed during the wait: its session went with it.
        if (FPhase != Phase::TlsHandshake) {
            throw ESockError(SockFailure::Tls, TlsFailureText(TlsFailure::HandshakeFailed));
        }
        const IoStep step = Tls->Handshake();
        FPeerCertificate = Tls->PeerCertificate();
        if (step == IoStep::Done) {
            FPhase = Phase::TlsOpen;
            if (Tls->Resumed()) StatusMessage(8, "TLS session resumed");
            return;
        }
        if (step == IoStep::Failed || step == IoStep::Closed) {
            const TlsFailure failure = Tls->Failure();
            StatusMessage(4, "TLS failed: " + Tls->FailureDetail());
            if (failure == TlsFailure::PlaintextAnswer && AfterStls) {
                throw ESockError(SockFailure::Tls, TlsPlaintextAfterStlsText);
            }
            throw ESockError(SockFailure::Tls,
                             TlsFailureText(failure == TlsFailure::None ? TlsFailure::HandshakeFailed : failure));
        }
        WaitFor(step);
    }
    const bool timedOut = Pending == Interrupt::TimedOut;
    Pending = Interrupt::None;
    if (timedOut) throw ESockError(SockFailure::TlsTimedOut, TlsHandshakeTimedOutText);
    throw EAbortError("TLS handshake aborted");
}

}  // namespace quorvel
