#include "net/Pop3Client.h"

#include <exception>

#include "core/Base64.h"
#include "core/IntegerText.h"
#include "core/ScopeExit.h"

namespace quorvel {

namespace {

const char* const AuthenticationFailed = "Authentication failed";

// CR or LF would end the command early and let the rest act as a command of
// its own; a NUL would cut the command before its line end.
bool HoldsLineBreak(const std::string& Text) {
    return Text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// The message count of a STAT reply: plain decimal digits, as servers send
// it. Anything else (a sign, a prefix, the line end of a reply without a
// size, a number beyond 32 bits) counts as 0: a negative count or one read
// from a stray prefix would show mail that is not there.
std::int32_t StatCount(const std::string& Field) {
    if (Field.empty() || Field.find_first_not_of("0123456789") != std::string::npos) return 0;
    return StrToIntDef(Field, 0);
}

// A SASL continuation: "+" alone or "+ " and a challenge; never "+OK".
bool IsContinuation(const std::string& Reply) {
    return !Reply.empty() && Reply[0] == '+' &&
           (Reply.size() == 1 || Reply[1] == ' ' || Reply[1] == '\r' || Reply[1] == '\n');
}

}  // namespace

TPop3Client::TPop3Client(IEventLoop& loop) : TSocketTransport(loop) {
    Port = 110;
}

TPop3Client::~TPop3Client() {
    // The base destructor cannot reach this class's Abort; run it here, with
    // no handler told, as the transport's own destruction does.
    BeginDestroy();
    try {
        Abort();
    } catch (...) {}
}

std::string TPop3Client::NthWord(const std::string& Text, char Separator, std::int32_t N) {
    std::string result;
    std::int32_t count = 0;
    for (const char c : Text) {
        if (c == Separator) {
            ++count;
            if (count >= N) break;
        } else if (count == N - 1) {
            result += c;
        }
    }
    return result;
}

bool TPop3Client::IsPositive(const std::string& Reply) {
    return NthWord(Reply, ' ', 1).find("+OK") != std::string::npos;
}

std::string TPop3Client::XOAuth2Message(const std::string& User, const std::string& Token) {
    return "user=" + User + "\x01" + "auth=Bearer " + Token + "\x01\x01";
}

void TPop3Client::AskCredentials() {
    if (!AccessToken.empty()) {
        // ^A separates the fields of the XOAUTH2 message.
        if (UserID.empty()) throw Exception(AuthenticationFailed);
        if (HoldsLineBreak(UserID) || HoldsLineBreak(AccessToken) ||
            (UserID + AccessToken).find('\x01') != std::string::npos) {
            throw Exception("Invalid character in user ID or access token");
        }
        return;
    }
    std::int32_t tries = 0;
    while (Password.empty() || UserID.empty()) {
        if (!OnAuthenticationNeeded) throw Exception(AuthenticationFailed);
        if (tries > 0) break;
        bool handled = false;
        OnAuthenticationNeeded(handled);
        if (!handled) throw Exception(AuthenticationFailed);
        ++tries;
    }
    if (HoldsLineBreak(UserID) || HoldsLineBreak(Password)) {
        throw Exception("Invalid character in user ID or password");
    }
}

bool TPop3Client::CheckLoginReply(const std::string& Reply, std::int32_t& Tries) {
    if (IsPositive(Reply)) return true;
    if (Tries > 0 || !OnAuthenticationFailed) throw Exception(AuthenticationFailed);
    bool handled = false;
    OnAuthenticationFailed(handled);
    if (!handled) throw Exception(AuthenticationFailed);
    ++Tries;
    return false;
}

std::string TPop3Client::Reply(const std::string& Command) {
    const std::string reply = Command.empty() ? ReadLn() : Transaction(Command);
    // An empty reply is what a connection closed before the reply began
    // gives: the connection failed, the server refused nothing.
    if (reply.empty()) throw NotConnectedError();
    return reply;
}

void TPop3Client::LogIn() {
    std::int32_t tries = 0;
    bool ok = false;
    while (!ok) {
        if (CheckLoginReply(Reply("USER " + UserID), tries)) {
            ok = CheckLoginReply(Reply("PASS " + Password), tries);
        }
        ++tries;
    }
}

std::string TPop3Client::XOAuth2Exchange() {
    // Two lines always: a token is longer than an AUTH line may be.
    const std::string go = Reply("AUTH XOAUTH2");
    if (!IsContinuation(go)) throw Exception(go);
    const std::string reply = Reply(Base64Encode(XOAuth2Message(UserID, AccessToken)));
    if (!IsContinuation(reply)) return reply;
    // The server's error details come as a challenge; an empty line ends
    // the exchange and brings the final -ERR.
    const std::string final = Transaction("");
    if (final.empty()) throw NotConnectedError();
    return final;
}

void TPop3Client::LogInXOAuth2() {
    std::int32_t tries = 0;
    for (;;) {
        const std::string reply = XOAuth2Exchange();
        if (IsPositive(reply)) return;
        bool handled = false;
        if (tries == 0 && OnAuthenticationFailed) OnAuthenticationFailed(handled);
        if (!handled) throw EXOAuth2Refused(reply);
        ++tries;
        AskCredentials();
    }
}

void TPop3Client::OpenSession(bool& QuitAllowed, bool UpToTls) {
    QuitAllowed = Security == TConnectionSecurity::None;
    if (Security == TConnectionSecurity::ImplicitTls) {
        StartTls();
        if (UpToTls) return;
        QuitAllowed = true;
    }
    const std::string greeting = Reply("");
    if (!IsPositive(greeting)) throw Exception(greeting);
    if (Security != TConnectionSecurity::Stls) return;
    const std::string reply = Reply("STLS");
    if (!IsPositive(reply)) throw Exception(TlsNoStlsText);
    // Whatever came with or after the +OK was sent before the handshake
    // and could be anyone's: it is never read as a reply.
    if (DataAvailable()) throw Exception(TlsPlaintextAfterStlsText);
    StartTls(true);
    QuitAllowed = true;
}

TTlsCertificate TPop3Client::FetchCertificate() {
    if (Security == TConnectionSecurity::None) throw Exception("TLS: the account does not use TLS");
    OnScopeExit restore([this, saved = TlsAcceptAnyCertificate] { TlsAcceptAnyCertificate = saved; });
    TlsAcceptAnyCertificate = true;
    TSocketTransport::Connect();
    try {
        bool quitAllowed = false;
        OpenSession(quitAllowed, true);
    } catch (...) {
        TSocketTransport::Disconnect();
        throw;
    }
    const std::optional<TTlsCertificate> certificate = PeerCertificate();
    TSocketTransport::Disconnect();
    if (!certificate) throw Exception(TlsFailureText(TlsFailure::HandshakeFailed));
    return *certificate;
}

void TPop3Client::Connect() {
    AskCredentials();

    bool loggedIn = false;
    try {
        TSocketTransport::Connect();
        bool quitAllowed = false;
        try {
            OpenSession(quitAllowed, false);
            if (AccessToken.empty()) {
                LogIn();
            } else {
                LogInXOAuth2();
            }
            loggedIn = true;
            const std::string reply = Reply("STAT");
            if (!IsPositive(reply)) throw Exception(reply);
            FMessageCount = StatCount(NthWord(reply, ' ', 2));
        } catch (...) {
            // Leave with QUIT while the connection is still up. A close the
            // server has already sent is seen first, so no QUIT goes to a
            // closed connection. Should the QUIT exchange fail as well, the
            // original failure is reported: it names the cause.
            const std::exception_ptr original = std::current_exception();
            if (!quitAllowed) {
                // The TLS stage failed: nothing more is sent, the
                // connection just goes.
                TSocketTransport::Disconnect();
                std::rethrow_exception(original);
            }
            try {
                Loop().PumpOnce();
            } catch (...) {}
            try {
                Disconnect();
            } catch (...) {}
            std::rethrow_exception(original);
        }
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        if (loggedIn && OnConnect) OnConnect(*this);
        std::rethrow_exception(failure);
    }
    if (loggedIn && OnConnect) OnConnect(*this);
}

void TPop3Client::Disconnect() {
    if (!Connected()) return;
    std::string reply;
    try {
        reply = Reply("QUIT");
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        TSocketTransport::Disconnect();
        std::rethrow_exception(failure);
    }
    TSocketTransport::Disconnect();
    if (!IsPositive(reply)) throw Exception(reply);
}

void TPop3Client::Abort() {
    Cancel();
    if (Connected()) {
        TSocketTransport::Disconnect();
        ClearInput();
    }
}

}  // namespace quorvel
