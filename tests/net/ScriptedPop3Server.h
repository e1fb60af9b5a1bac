#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvel::test {

// One step of what the scripted server does with its one connection.
struct ServerStep {
    enum class Kind { Say, Hear, Pause, Close, SayAndClose, Reset };
    Kind What = Kind::Say;
    std::string Text;
    int Milliseconds = 0;
};

ServerStep Say(std::string Text);          // send these bytes
ServerStep Hear();                         // wait for one more line from the client
ServerStep Pause(int Milliseconds);        // send nothing for a while
ServerStep Close();                        // orderly close; then record until the client closes
ServerStep SayAndClose(std::string Text);  // the bytes and the close in one segment
ServerStep Reset();                        // close with SO_LINGER 0 (a reset), then stop

// A small server on a loopback address and an ephemeral port, on its own
// thread. It accepts one connection, plays its script and records every byte
// the client sends until the client closes. Every wait is bounded: no test
// can hang on it.
class ScriptedPop3Server {
public:
    explicit ScriptedPop3Server(std::vector<ServerStep> Script, const std::string& Address = "127.0.0.1");
    ~ScriptedPop3Server();
    ScriptedPop3Server(const ScriptedPop3Server&) = delete;
    ScriptedPop3Server& operator=(const ScriptedPop3Server&) = delete;

    // False when the address cannot be used here (no IPv6 loopback).
    bool Listening() const { return ListenFd >= 0; }
    std::int32_t Port() const { return FPort; }

    // Waits, at most Limit, for the connection to end; then everything the
    // client sent.
    std::string Received(std::chrono::milliseconds Limit = std::chrono::milliseconds(5000));
    // Waits, at most Limit, until the script has been played to its end
    // (what follows is only recording); whether it has.
    bool Played(std::chrono::milliseconds Limit = std::chrono::milliseconds(5000));
    // Whether a client connected at all.
    bool Accepted();
    // Problems the script met (a Hear that got no line, ...); empty when none.
    std::string Problems();

private:
    void Run();
    void Serve(int Fd);
    bool ReadSome(int Fd, int WaitMs);
    bool Sleep(int Milliseconds);
    void Finish();

    std::vector<ServerStep> Script;
    int ListenFd = -1;
    std::int32_t FPort = 0;
    std::thread Worker;
    std::atomic<bool> Stop{false};

    std::mutex Lock;
    std::condition_variable Done;
    bool Finished = false;
    bool FPlayed = false;
    bool FAccepted = false;
    std::string Bytes;
    std::string FProblems;
};

}  // namespace quorvel::test
