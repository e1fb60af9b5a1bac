#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/ConnectionSecurity.h"
#include "net/SocketTransport.h"

namespace quorvel {

// The server refused the bearer token (its final reply is the message).
class EXOAuth2Refused : public Exception {
public:
    using Exception::Exception;
};

// The POP3 client: logs in with USER and PASS (or AUTH XOAUTH2), reads the number of waiting
// messages with STAT and leaves with QUIT. It never retrieves, lists or
// deletes mail.
//
// Failures are exceptions: the transport's ESockError and EAbortError, and
// the general Exception with "Authentication failed" or the server's reply
// line itself (line end included). A connection that closes where a reply
// is due is the transport's failure, never a refusal.
class TPop3Client : public TSocketTransport {
public:
    using TPop3NotifyEvent = std::function<void(TPop3Client&)>;

    explicit TPop3Client(IEventLoop& Loop);
    ~TPop3Client() override;

    std::string UserID;
    std::string Password;
    // None: plaintext, exactly USER, PASS, STAT, QUIT after the greeting.
    // Stls: STLS right after the greeting, whatever the server advertises;
    // anything but a clean switch to TLS fails before USER is sent.
    // ImplicitTls: the handshake right after the connection comes up.
    TConnectionSecurity Security = TConnectionSecurity::None;
    // Not empty: log in with AUTH XOAUTH2 and this bearer token instead of
    // USER and PASS (Password is then not used).
    std::string AccessToken;

    // Messages counted by the last successful STAT. A failed Connect leaves
    // the previous value in place.
    std::int32_t MessageCount() const { return FMessageCount; }

    // The user ID or password is empty; the handler may fill them in and set
    // Handled.
    THandlerEvent OnAuthenticationNeeded;
    // USER or PASS was refused, or the server refused AccessToken; the
    // handler may set Handled to ask for one more attempt (with XOAUTH2 in
    // the same session, after it has put a fresh token in AccessToken).
    THandlerEvent OnAuthenticationFailed;
    // The client's own connect event: fired after a successful log-in. It
    // hides the transport's event of the same name.
    TPop3NotifyEvent OnConnect;

    // Connects, logs in and asks STAT; on return MessageCount is valid and
    // the connection is open. A failure after the TCP connection came up has
    // already sent QUIT (when still connected) and closed the connection.
    void Connect() override;
    // Sends QUIT and closes, when connected; raises the reply line when it
    // is negative (after closing).
    void Disconnect() override;
    // Connects as Security says (which must not be None) up to the end of
    // the handshake, accepting any certificate, and returns the one the
    // server showed, for the user to look at; closes without logging in.
    TTlsCertificate FetchCertificate();
    // Ends the current wait and drops the connection at once, without QUIT.
    void Abort() override;

    // Field N (counted from 1) of Text, fields being separated by single
    // Separator characters; the last field keeps whatever follows it.
    static std::string NthWord(const std::string& Text, char Separator, std::int32_t N);
    // A reply is positive when its first blank-separated field holds "+OK".
    static bool IsPositive(const std::string& Reply);

    // The client's first XOAUTH2 message (before base64):
    // "user=" UserID ^A "auth=Bearer " Token ^A ^A.
    static std::string XOAuth2Message(const std::string& UserID, const std::string& Token);

private:
    void AskCredentials();
    void LogInXOAuth2();
    // One AUTH XOAUTH2 exchange; returns the server's final reply.
    std::string XOAuth2Exchange();
    // Transaction(Command), or ReadLn for an empty Command (the greeting). A
    // connection that closes before a reply arrives raises ESockError with
    // the close's text, so it never reads as a refusal.
    std::string Reply(const std::string& Command);
    void LogIn();
    // The greeting and the switch to TLS that Security asks for; QuitAllowed
    // tells whether a failure from here on may still send QUIT (never
    // before the TLS stage is complete). UpToTls stops after the handshake.
    void OpenSession(bool& QuitAllowed, bool UpToTls);
    bool CheckLoginReply(const std::string& Reply, std::int32_t& Tries);

    std::int32_t FMessageCount = 0;
};

}  // namespace quorvel
