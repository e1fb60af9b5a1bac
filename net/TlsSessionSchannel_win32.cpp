// The TLS session on Schannel (SSPI) for the Windows build: TLS 1.2 at
// least, SNI for host names, and the server's certificate checked by hand
// (TlsCertificateCheck_win32.cpp) against the system's store, an optional
// CA file and an optional pinned certificate. The session reads and writes
// the non-blocking socket itself and never waits: it says what it needs.
#include "net/SchannelCredentials_win32.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/Exception.h"
#include "core/WideText_win32.h"
#include "net/TlsCertificateCheck_win32.h"
#include "net/TlsSession.h"

namespace quorvel {

namespace {

using namespace schannel;

// What InitializeSecurityContext is asked for: a stream of records whose
// server certificate this code checks itself.
constexpr ULONG ContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                 ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_USE_SUPPLIED_CREDS |
                                 ISC_REQ_MANUAL_CRED_VALIDATION;

constexpr DWORD ModernProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;

// Ciphertext taken from the socket at a time, and the most held while no
// record or handshake message completes.
constexpr std::size_t ReceiveChunk = 17 * 1024;
constexpr std::size_t IncomingLimit = 256 * 1024;

class TSchannelSession final : public ITlsSession {
public:
    TSchannelSession(int Fd, const TTlsClientOptions& Options);
    ~TSchannelSession() override;
    TSchannelSession(const TSchannelSession&) = delete;
    TSchannelSession& operator=(const TSchannelSession&) = delete;

    IoStep Handshake() override;
    IoStep Read(char* Data, std::size_t Size, std::size_t& Got) override;
    IoStep Write(const char* Data, std::size_t Size, std::size_t& Sent) override;
    void Close() override;
    bool HasBufferedInput() const override;
    TlsFailure Failure() const override { return FFailure; }
    std::string FailureDetail() const override { return FDetail; }
    std::optional<TTlsCertificate> PeerCertificate() const override { return FPeer; }
    bool Resumed() const override { return FResumed; }

private:
    enum class Phase { Handshake, Open, Closed, Failed };
    enum class Io { Done, Wait, End, Error };

    // Runs InitializeSecurityContext until the (re)negotiation is done or
    // needs the socket; the final flight leaves only after the check.
    IoStep Negotiate();
    SECURITY_STATUS InitializeContext(SecBufferDesc* Input);
    // The checks once the handshake completes: protocol, then certificate.
    bool Established();
    bool CertificateAccepted(PCCERT_CONTEXT Certificate);
    IoStep Decrypt(bool& NeedMore);
    IoStep TakePlain(char* Data, std::size_t Size, std::size_t& Got);
    IoStep Fail(TlsFailure Failure, std::string Detail);
    // A failure of the socket: in the handshake it fails the handshake; on
    // an established session it ends the session as a plain close would.
    IoStep SocketEnded(Io Result, const char* Where);
    void QueueToken(SecBuffer& Token);
    Io Flush();
    Io Receive();
    bool HasCompleteRecord() const;

    SOCKET Socket;
    TTlsClientOptions Options;
    TTlsTrust Trust;
    std::wstring TargetName;  // empty for an address literal: no SNI
    CredHandle& Credentials;  // the program's, kept between sessions
    CtxtHandle Context{};
    bool HaveContext = false;
    SecPkgContext_StreamSizes Sizes{};

    Phase State = Phase::Handshake;
    bool Renegotiating = false;
    bool CallReady = true;  // the next InitializeSecurityContext needs no new bytes
    bool Negotiated = false;
    bool CloseSent = false;
    bool SocketGone = false;  // the connection ended without the server's close notice
    bool FResumed = false;
    int SocketError = 0;

    std::vector<char> Incoming;  // ciphertext not yet used
    std::string Plain;           // decrypted, not yet read
    std::size_t PlainAt = 0;
    std::string Outgoing;  // ciphertext not yet sent
    std::size_t OutgoingAt = 0;
    // Plaintext whose record is (or was) in Outgoing and that the caller
    // has not been told about: the next Write reports it as sent.
    std::size_t OutgoingPlain = 0;

    TlsFailure FFailure = TlsFailure::None;
    std::string FDetail;
    std::optional<TTlsCertificate> FPeer;
    std::string CheckedSha256;
};

TSchannelSession::TSchannelSession(int Fd, const TTlsClientOptions& Given)
    : Socket(static_cast<SOCKET>(Fd)), Options(Given), Trust(Given.CaFile), Credentials(SharedClientCredentials()) {
    if (!IsAddressLiteral(Options.Host)) TargetName = WideFromUtf8(Options.Host);
}

TSchannelSession::~TSchannelSession() {
    if (HaveContext) ::DeleteSecurityContext(&Context);
}

IoStep TSchannelSession::Fail(TlsFailure Failure, std::string Detail) {
    State = Phase::Failed;
    FFailure = Failure;
    if (!Detail.empty()) FDetail = std::move(Detail);
    Outgoing.clear();
    OutgoingAt = 0;
    return IoStep::Failed;
}

IoStep TSchannelSession::SocketEnded(Io Result, const char* Where) {
    std::string detail = std::string(Where) + (Result == Io::End ? ": the server closed the connection"
                                                                 : ": socket error " + std::to_string(SocketError));
    if (State == Phase::Handshake) return Fail(TlsFailure::HandshakeFailed, detail);
    State = Phase::Closed;
    SocketGone = true;
    FDetail = std::move(detail);
    return IoStep::Closed;
}

TSchannelSession::Io TSchannelSession::Flush() {
    while (OutgoingAt < Outgoing.size()) {
        const int length = static_cast<int>(std::min<std::size_t>(Outgoing.size() - OutgoingAt, INT_MAX));
        const int n = ::send(Socket, Outgoing.data() + OutgoingAt, length, 0);
        if (n == SOCKET_ERROR) {
            const int error = ::WSAGetLastError();
            if (error == WSAEINTR) continue;
            if (error == WSAEWOULDBLOCK) return Io::Wait;
            SocketError = error;
            return Io::Error;
        }
        OutgoingAt += static_cast<std::size_t>(n);
    }
    Outgoing.clear();
    OutgoingAt = 0;
    return Io::Done;
}

TSchannelSession::Io TSchannelSession::Receive() {
    if (Incoming.size() >= IncomingLimit) {
        SocketError = WSAENOBUFS;
        return Io::Error;
    }
    const std::size_t kept = Incoming.size();
    Incoming.resize(kept + ReceiveChunk);
    for (;;) {
        const int n = ::recv(Socket, Incoming.data() + kept, static_cast<int>(ReceiveChunk), 0);
        if (n > 0) {
            Incoming.resize(kept + static_cast<std::size_t>(n));
            return Io::Done;
        }
        const int error = n == 0 ? 0 : ::WSAGetLastError();
        if (error == WSAEINTR) continue;
        Incoming.resize(kept);
        if (n == 0) return Io::End;
        if (error == WSAEWOULDBLOCK) return Io::Wait;
        SocketError = error;
        return Io::Error;
    }
}

void TSchannelSession::QueueToken(SecBuffer& Token) {
    if (Token.pvBuffer == nullptr) return;
    if (Token.cbBuffer > 0) {
        if (OutgoingAt == Outgoing.size()) {
            Outgoing.clear();
            OutgoingAt = 0;
        }
        Outgoing.append(static_cast<const char*>(Token.pvBuffer), Token.cbBuffer);
    }
    ::FreeContextBuffer(Token.pvBuffer);
    Token.pvBuffer = nullptr;
}

SECURITY_STATUS TSchannelSession::InitializeContext(SecBufferDesc* Input) {
    SecBuffer token{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc output{SECBUFFER_VERSION, 1, &token};
    ULONG attributes = 0;
    wchar_t* target = TargetName.empty() ? nullptr : TargetName.data();
    const SECURITY_STATUS status =
        ::InitializeSecurityContextW(&Credentials, HaveContext ? &Context : nullptr, target, ContextRequest, 0, 0,
                                     Input, 0, &Context, &output, &attributes, nullptr);
    if (!HaveContext && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) HaveContext = true;
    // A token that comes with a failure is an alert: nothing more is sent
    // after a failure.
    if (FAILED(status)) {
        if (token.pvBuffer != nullptr) ::FreeContextBuffer(token.pvBuffer);
    } else {
        QueueToken(token);
    }
    return status;
}

IoStep TSchannelSession::Negotiate() {
    for (;;) {
        if (OutgoingAt < Outgoing.size()) {
            const Io sent = Flush();
            if (sent == Io::Wait) return IoStep::WantWrite;
            if (sent != Io::Done) return SocketEnded(sent, "handshake");
        }
        if (Negotiated) return IoStep::Done;
        if (!CallReady) {
            const Io got = Receive();
            if (got == Io::Wait) return IoStep::WantRead;
            if (got != Io::Done) return SocketEnded(got, "handshake");
            CallReady = true;
        }

        // What a server sends in a handshake starts as a TLS record does (a
        // record type of 20 to 23, major version 3). Anything else, a plain
        // POP3 greeting say, fails here rather than being waited on as the
        // start of a long record.
        if (HaveContext && !StartsAsTlsRecord(Incoming.data(), Incoming.size())) {
            return Fail(State == Phase::Handshake ? TlsFailure::PlaintextAnswer : TlsFailure::ConnectionFailed,
                        "the server did not answer in TLS");
        }

        SecBuffer input[2] = {{static_cast<ULONG>(Incoming.size()), SECBUFFER_TOKEN, Incoming.data()},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inputDesc{SECBUFFER_VERSION, 2, input};
        const bool withInput = HaveContext;  // the first call only makes the client's hello
        const SECURITY_STATUS status = InitializeContext(withInput ? &inputDesc : nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            CallReady = false;  // the same bytes again once more have come
            continue;
        }
        if (FAILED(status)) {
            return Fail(State == Phase::Handshake ? HandshakeFailureOf(status) : TlsFailure::ConnectionFailed,
                        StatusText("InitializeSecurityContext", status));
        }
        // Bytes after the message just used: the next message, or the
        // first records of the session.
        if (input[1].BufferType == SECBUFFER_EXTRA && input[1].cbBuffer > 0 && input[1].cbBuffer <= Incoming.size()) {
            Incoming.erase(Incoming.begin(), Incoming.end() - input[1].cbBuffer);
            CallReady = true;
        } else {
            Incoming.clear();
            CallReady = false;
        }
        if (status == SEC_E_OK) {
            if (!Established()) return IoStep::Failed;
            Negotiated = true;
            CallReady = false;
        } else if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
            CallReady = true;  // asked for a client certificate: go on without one
        } else if (status != SEC_I_CONTINUE_NEEDED) {
            return Fail(State == Phase::Handshake ? TlsFailure::HandshakeFailed : TlsFailure::ConnectionFailed,
                        StatusText("InitializeSecurityContext", status));
        }
    }
}

bool TSchannelSession::Established() {
    SecPkgContext_ConnectionInfo connection{};
    const SECURITY_STATUS asked = ::QueryContextAttributesW(&Context, SECPKG_ATTR_CONNECTION_INFO, &connection);
    if (asked != SEC_E_OK) {
        Fail(TlsFailure::HandshakeFailed, StatusText("the connection's protocol", asked));
        return false;
    }
    if ((connection.dwProtocol & ModernProtocols) == 0) {
        char text[64];
        std::snprintf(text, sizeof(text), "protocol 0x%lx", static_cast<unsigned long>(connection.dwProtocol));
        Fail(TlsFailure::ProtocolTooOld, text);
        return false;
    }
    // Schannel resumes a session of the same credentials and target name on
    // its own; the certificate it then gives is checked all the same.
    SecPkgContext_SessionInfo session{};
    if (!Renegotiating && ::QueryContextAttributesW(&Context, SECPKG_ATTR_SESSION_INFO, &session) == SEC_E_OK) {
        FResumed = (session.dwFlags & SSL_SESSION_RECONNECT) != 0;
    }
    PCCERT_CONTEXT certificate = nullptr;
    const SECURITY_STATUS got = ::QueryContextAttributesW(&Context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate);
    if (got != SEC_E_OK || certificate == nullptr) {
        Fail(TlsFailure::HandshakeFailed, StatusText("the server's certificate", got));
        return false;
    }
    const bool accepted = CertificateAccepted(certificate);
    ::CertFreeCertificateContext(certificate);
    if (!accepted) return false;
    const SECURITY_STATUS sized = ::QueryContextAttributesW(&Context, SECPKG_ATTR_STREAM_SIZES, &Sizes);
    if (sized != SEC_E_OK || Sizes.cbMaximumMessage == 0) {
        Fail(TlsFailure::HandshakeFailed, StatusText("stream sizes", sized));
        return false;
    }
    return true;
}

// The normal check first; the pinned certificate only when it fails. A
// renegotiation that keeps the certificate is not checked again.
bool TSchannelSession::CertificateAccepted(PCCERT_CONTEXT Certificate) {
    FPeer = DescribeCertificate(Certificate);
    if (!CheckedSha256.empty() && FPeer->Sha256 == CheckedSha256) return true;
    const CertificateVerdict verdict = Trust.Check(Certificate, Options.Host);
    if (verdict.Failure != TlsFailure::None) {
        FDetail = verdict.Detail;
        const bool pinned = !Options.PinnedSha256.empty() && FPeer->Sha256 == Options.PinnedSha256;
        if (!pinned && !Options.AcceptAnyCertificate) {
            Fail(Options.PinnedSha256.empty() ? verdict.Failure : TlsFailure::CertificateChanged, {});
            return false;
        }
    }
    CheckedSha256 = FPeer->Sha256;
    return true;
}

IoStep TSchannelSession::Handshake() {
    if (State == Phase::Open) return IoStep::Done;
    if (State != Phase::Handshake) return IoStep::Failed;
    const IoStep step = Negotiate();
    if (step == IoStep::Done) State = Phase::Open;
    return step;
}

bool TSchannelSession::HasCompleteRecord() const {
    if (Incoming.size() < 5) return false;
    const std::size_t length = static_cast<unsigned char>(Incoming[3]) * 256u + static_cast<unsigned char>(Incoming[4]);
    return Incoming.size() >= 5 + length;
}

bool TSchannelSession::HasBufferedInput() const {
    return PlainAt < Plain.size() || (State == Phase::Open && HasCompleteRecord());
}

IoStep TSchannelSession::TakePlain(char* Data, std::size_t Size, std::size_t& Got) {
    Got = std::min(Size, Plain.size() - PlainAt);
    std::memcpy(Data, Plain.data() + PlainAt, Got);
    PlainAt += Got;
    if (PlainAt == Plain.size()) {
        Plain.clear();
        PlainAt = 0;
    }
    return IoStep::Done;
}

// One record from Incoming; NeedMore when it is not complete yet.
IoStep TSchannelSession::Decrypt(bool& NeedMore) {
    SecBuffer buffers[4] = {{static_cast<ULONG>(Incoming.size()), SECBUFFER_DATA, Incoming.data()},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = ::DecryptMessage(&Context, &message, 0, nullptr);
    NeedMore = status == SEC_E_INCOMPLETE_MESSAGE;
    if (NeedMore) return IoStep::Done;
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
        return Fail(TlsFailure::ConnectionFailed, StatusText("DecryptMessage", status));
    }
    std::string data;
    std::size_t extra = 0;
    for (const SecBuffer& buffer : buffers) {
        if (buffer.BufferType == SECBUFFER_DATA && buffer.pvBuffer != nullptr) {
            data.assign(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
        }
        if (buffer.BufferType == SECBUFFER_EXTRA && buffer.cbBuffer <= Incoming.size()) extra = buffer.cbBuffer;
    }
    Incoming.erase(Incoming.begin(), Incoming.end() - static_cast<std::ptrdiff_t>(extra));
    Plain += data;
    if (status == SEC_I_CONTEXT_EXPIRED) {
        State = Phase::Closed;  // the server's close notice
    } else if (status == SEC_I_RENEGOTIATE) {
        // A handshake message inside the session (TLS 1.3 tickets and key
        // updates, a TLS 1.2 renegotiation): the handshake takes what is left.
        Renegotiating = true;
        Negotiated = false;
        CallReady = true;
    }
    return IoStep::Done;
}

IoStep TSchannelSession::Read(char* Data, std::size_t Size, std::size_t& Got) {
    Got = 0;
    if (State == Phase::Failed) return IoStep::Failed;
    if (PlainAt < Plain.size()) return TakePlain(Data, Size, Got);
    if (State == Phase::Closed) return IoStep::Closed;
    if (State != Phase::Open) return Fail(TlsFailure::ConnectionFailed, "read before the handshake");
    for (;;) {
        if (Renegotiating) {
            const IoStep step = Negotiate();
            if (step != IoStep::Done) return step;
            Renegotiating = false;
        }
        if (OutgoingAt < Outgoing.size()) {
            const Io sent = Flush();
            if (sent == Io::Wait) return IoStep::WantWrite;
            if (sent != Io::Done) return SocketEnded(sent, "send");
        }
        bool needMore = Incoming.empty();
        if (!needMore) {
            const IoStep step = Decrypt(needMore);
            if (step == IoStep::Failed) return step;
            if (PlainAt < Plain.size()) return TakePlain(Data, Size, Got);
            if (State == Phase::Closed) return IoStep::Closed;
            if (!needMore) continue;
        }
        const Io got = Receive();
        if (got == Io::Wait) return IoStep::WantRead;
        if (got == Io::Done) continue;
        // The connection ended between records: as a close; inside one:
        // the rest of that record is lost.
        if (!Incoming.empty()) {
            return Fail(TlsFailure::ConnectionFailed,
                        "the connection ended inside a record (" + std::to_string(Incoming.size()) + " bytes)");
        }
        return SocketEnded(got, "receive");
    }
}

// The caller repeats a write that got WantWrite with the same data, as
// OpenSSL requires; a record the socket took only part of is finished first
// and never made again.
IoStep TSchannelSession::Write(const char* Data, std::size_t Size, std::size_t& Sent) {
    Sent = 0;
    if (State == Phase::Failed) return IoStep::Failed;
    if (State == Phase::Closed) return IoStep::Closed;
    if (State != Phase::Open) return Fail(TlsFailure::ConnectionFailed, "write before the handshake");
    if (Renegotiating) {
        const IoStep step = Negotiate();
        if (step != IoStep::Done) return step;
        Renegotiating = false;
    }
    if (OutgoingAt < Outgoing.size()) {
        const Io sent = Flush();
        if (sent == Io::Wait) return IoStep::WantWrite;
        if (sent != Io::Done) return SocketEnded(sent, "send");
    }
    if (OutgoingPlain > 0) {
        if (Size < OutgoingPlain) {
            return Fail(TlsFailure::ConnectionFailed, "a write was repeated with less data than it had");
        }
        Sent = OutgoingPlain;
        OutgoingPlain = 0;
        return IoStep::Done;
    }
    std::vector<char> record;
    while (Sent < Size) {
        const std::size_t chunk = std::min<std::size_t>(Size - Sent, Sizes.cbMaximumMessage);
        record.resize(Sizes.cbHeader + chunk + Sizes.cbTrailer);
        std::memcpy(record.data() + Sizes.cbHeader, Data + Sent, chunk);
        SecBuffer buffers[4] = {
            {Sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
            {static_cast<ULONG>(chunk), SECBUFFER_DATA, record.data() + Sizes.cbHeader},
            {Sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + Sizes.cbHeader + chunk},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = ::EncryptMessage(&Context, 0, &message, 0);
        if (status != SEC_E_OK) return Fail(TlsFailure::ConnectionFailed, StatusText("EncryptMessage", status));
        // The header, data and trailer follow one another in the record.
        Outgoing.assign(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        OutgoingAt = 0;
        OutgoingPlain = chunk;
        const Io sent = Flush();
        if (sent == Io::Wait) return Sent > 0 ? IoStep::Done : IoStep::WantWrite;
        if (sent != Io::Done) return SocketEnded(sent, "send");
        Sent += chunk;
        OutgoingPlain = 0;
    }
    return IoStep::Done;
}

// Also answers the server's close notice.
void TSchannelSession::Close() {
    if (CloseSent || !(State == Phase::Open || (State == Phase::Closed && !SocketGone))) return;
    CloseSent = true;
    // A record half sent has to be finished first, or the notice would land
    // inside it.
    if (OutgoingAt < Outgoing.size() && Flush() != Io::Done) return;
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer control{sizeof(type), SECBUFFER_TOKEN, &type};
    SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
    if (::ApplyControlToken(&Context, &controlDesc) != SEC_E_OK) return;
    if (FAILED(InitializeContext(nullptr))) return;
    (void)Flush();
}

}  // namespace

std::unique_ptr<ITlsSession> StartTlsClient(int Fd, const TTlsClientOptions& Options) {
    return std::make_unique<TSchannelSession>(Fd, Options);
}

}  // namespace quorvel
