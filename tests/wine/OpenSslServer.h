#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// An `openssl s_server` on 127.0.0.1 and a free port, for the TLS cases
// Dovecot cannot give (an old protocol only, a certificate chosen by SNI,
// connections cut by a relay, a renegotiation). Reversing, it runs in -rev
// mode: every line a client sends comes back reversed. Otherwise what
// Type() writes to its standard input goes to the client, and a line "r"
// makes it renegotiate. The constructor returns once it listens (or throws
// std::runtime_error); the destructor kills it.
class OpenSslServer {
public:
    enum class Mode { Reversing, Typed };

    // Options go after "s_server -accept 127.0.0.1:0" (and "-rev").
    explicit OpenSslServer(const std::vector<std::string>& Options, Mode How = Mode::Reversing);
    ~OpenSslServer();
    OpenSslServer(const OpenSslServer&) = delete;
    OpenSslServer& operator=(const OpenSslServer&) = delete;

    std::int32_t Port() const { return FPort; }
    // Everything it wrote so far (standard output and error).
    std::string Log() const;
    // Waits until its log holds Text, at most Limit; false when it does not.
    bool WaitForLog(const std::string& Text, std::chrono::milliseconds Limit) const;
    // Typed mode: sends Text to its standard input once the server has read
    // what was typed before (at most 10 s), so that it reads Text on its own.
    void Type(const std::string& Text);

private:
    void Stop();

    std::string LogFile;
    pid_t Pid = -1;
    int InputFd = -1;
    std::int32_t FPort = 0;
};

}  // namespace quorvel
