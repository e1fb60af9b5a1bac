#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvel {

struct DovecotIdentity;

// One POP3 mailbox of the test server: log-in name, password and the number
// of small messages it holds when the server starts.
struct DovecotMailbox {
    std::string UserID;
    std::string Password;
    int MessageCount = 0;
};

// How the test server is started.
struct DovecotOptions {
    std::string Binary = "/usr/sbin/dovecot";
    // Longest wait for the first greeting, port retries included.
    std::chrono::milliseconds StartLimit = std::chrono::seconds(10);
    // Record what clients send after their log-in (see RawInput).
    bool RawLog = false;
    // A port to try first (0: none); when it is taken, free ones follow.
    std::int32_t FirstPort = 0;
    // With a certificate and key (PEM files): ssl = required, TLS 1.2 at
    // least, STLS on the plain port and implicit TLS on a second one
    // (Pop3sPort). Without: ssl = no, so STLS is refused.
    std::string TlsCertFile;
    std::string TlsKeyFile;
    // Record what clients send before they log in (see PreLoginInput).
    bool PreLoginRawLog = false;
    // Not empty: bearer tokens (XOAUTH2, OAUTHBEARER) are accepted as well,
    // checked by RFC 7662 introspection at this address.
    std::string OAuth2IntrospectionUrl;
};

// A real Dovecot POP3 server for the tests and benchmarks, running from a
// configuration generated in a fresh temporary folder: POP3 only, on
// 127.0.0.1 and a free ephemeral port, plaintext USER/PASS without TLS,
// passwd-file users, Maildir mailboxes. The constructor returns once the
// server greets (or throws std::runtime_error with the reason and the
// server's log); the destructor stops it and removes the folder.
//
// After a refused log-in Dovecot delays further log-ins from the same
// address (its authentication penalty: 2 s, doubling up to 15 s); a test that
// needs many refusals should use a server of its own for each.
//
// Runs as root (mail is then owned by "nobody", since Dovecot refuses mail
// access as root) and as a normal user (every service then runs as that
// user, without chroot).
class DovecotServer {
public:
    explicit DovecotServer(std::vector<DovecotMailbox> Mailboxes, DovecotOptions Options = {});
    ~DovecotServer();
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    std::string Host() const { return "127.0.0.1"; }
    std::int32_t Port() const { return ListenPort; }
    // The implicit-TLS port; 0 without TlsCertFile.
    std::int32_t Pop3sPort() const { return TlsPort; }
    const std::filesystem::path& Folder() const { return Root; }
    const std::vector<DovecotMailbox>& Mailboxes() const { return Boxes; }

    // Dovecot's log file and what the master process wrote to stderr, for
    // failure messages.
    std::string Log() const;
    // Waits (at most 10 s) until the log holds Text Times times: Dovecot's
    // processes write it a moment after the client has gone.
    bool LogShows(const std::string& Text, std::size_t Times = 1) const;

    // With DovecotOptions::RawLog: every byte the clients of UserID sent
    // after logging in, session after session in the order they began.
    std::string RawInput(const std::string& UserID) const;

    // With DovecotOptions::PreLoginRawLog: every byte clients sent to the
    // log-in process (TLS stays encrypted there), all sessions together.
    std::string PreLoginInput() const;

    // Replaces the messages of UserID's mailbox with Count fresh ones; the
    // next session sees the new count.
    void SetMessageCount(const std::string& UserID, int Count);

    // Stops the server now (the destructor does it otherwise). Bounded:
    // SIGTERM, then SIGKILL to the whole process group after StopLimit.
    void Stop(std::chrono::milliseconds StopLimit = std::chrono::seconds(5));

private:
    enum class StartResult { Ready, PortTaken };

    void PrepareFolder(const DovecotIdentity& Who);
    StartResult StartOnce(std::int32_t TryPort, std::chrono::steady_clock::time_point Deadline);
    bool Exited();
    std::string GreetingText() const;

    std::vector<DovecotMailbox> Boxes;
    DovecotOptions Settings;
    std::filesystem::path Root;
    std::int32_t ListenPort = 0;
    std::int32_t TlsPort = 0;
    pid_t Pid = -1;
};

}  // namespace quorvel
