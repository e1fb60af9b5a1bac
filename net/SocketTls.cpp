// TLS on the transport's connection: the handshake, and the line reader and
// sender inside TLS. Every wait is the transport's usual one: the event loop
// runs until the socket is ready, the connection goes, or a cancel (or the
// time-out) ends it.
#include <algorithm>

#include "net/SocketTransport.h"

namespace quorvel {

namespace {

// Reads at most this much ciphertext's worth of plaintext at a time.
constexpr std::size_t TlsChunk = 16384;

}  // namespace

void TSocketTransport::WaitTls(TlsStep Step) {
    if (Step == TlsStep::WantWrite) {
        WaitWritable();
        return;
    }
    ReadArmed = true;
    UpdateInterest();
    FLoop.WaitForEvents();
}

void TSocketTransport::StartTls(bool AfterStls) {
    StatusMessage(8, "Start TLS");
    if (!FConnected || Fd < 0) throw ESockError(NotConnectedText());
    if (Tls) throw ESockError("TLS is already running");
    FPeerCertificate.reset();
    Tls = StartTlsClient(Fd, {Host, TlsCaFile, TlsPinnedSha256, TlsAcceptAnyCertificate, Port});
    TimerOn();
    struct Stop {
        TSocketTransport& Self;
        ~Stop() { Self.TimerOff(); }
    } stop{*this};

    while (!Canceled) {
        // The connection closed during the wait: its session went with it.
        if (!Tls) throw ESockError(TlsFailureText(TlsFailure::HandshakeFailed));
        const TlsStep step = Tls->Handshake();
        FPeerCertificate = Tls->PeerCertificate();
        if (step == TlsStep::Done) {
            if (Tls->Resumed()) StatusMessage(8, "TLS session resumed");
            return;
        }
        if (step == TlsStep::Failed || step == TlsStep::Closed) {
            const TlsFailure failure = Tls->Failure();
            StatusMessage(4, "TLS failed: " + Tls->FailureDetail());
            if (failure == TlsFailure::PlaintextAnswer && AfterStls) throw ESockError(TlsPlaintextAfterStlsText);
            throw ESockError(TlsFailureText(failure == TlsFailure::None ? TlsFailure::HandshakeFailed : failure));
        }
        WaitTls(step);
    }
    Canceled = false;
    if (TimedOut) throw ESockError(TlsHandshakeTimedOutText);
    throw EAbortError("TLS handshake aborted");
}

std::string TSocketTransport::ReadLnTls() {
    TimerOn();
    struct Stop {
        TSocketTransport& Self;
        ~Stop() { Self.TimerOff(); }
    } stop{*this};

    std::vector<char> chunk(TlsChunk);
    while (!Canceled) {
        const std::size_t lf = TlsInput.find('\n');
        if (lf != std::string::npos) {
            std::string line = TlsInput.substr(0, lf + 1);
            TlsInput.erase(0, lf + 1);
            return line;
        }
        if (TlsInput.size() >= MaxLineLength) throw ESockError("Socket readln line too long");
        if (!Tls) break;  // the connection is gone
        std::size_t got = 0;
        const TlsStep step = Tls->Read(chunk.data(), std::min(chunk.size(), MaxLineLength - TlsInput.size()), got);
        if (step == TlsStep::Done) {
            TlsInput.append(chunk.data(), got);
            continue;  // bytes the library still holds are taken before any wait
        }
        if (step == TlsStep::Closed) {
            // As in plaintext: nothing of a line read gives the empty text,
            // a line cut off is an error.
            if (TlsInput.empty()) return std::string();
            break;
        }
        if (step == TlsStep::Failed) throw ESockError(TlsFailureText(Tls->Failure()));
        WaitTls(step);
    }
    if (Canceled) {
        Canceled = false;
        throw EAbortError("Socket readln aborted");
    }
    throw ESockError(NotConnectedText());
}

void TSocketTransport::SendTls(const char* Data, std::size_t Length) {
    std::size_t done = 0;
    while (done < Length && !Canceled) {
        if (!Tls) {
            FLastErrorNo = SocketErrorNo::NotConnected;
            throw ESockError(NotConnectedText());
        }
        std::size_t sent = 0;
        const TlsStep step = Tls->Write(Data + done, Length - done, sent);
        if (step == TlsStep::Done) {
            done += sent;
        } else if (step == TlsStep::Closed) {
            FLastErrorNo = SocketErrorNo::NotConnected;
            throw ESockError(NotConnectedText());
        } else if (step == TlsStep::Failed) {
            throw ESockError(TlsFailureText(Tls->Failure()));
        } else {
            WaitTls(step);
        }
    }
}

}  // namespace quorvel
