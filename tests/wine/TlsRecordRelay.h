#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvel {

// A relay on 127.0.0.1 in front of a TLS server on 127.0.0.1 that changes
// how the server's bytes reach the client, record by record:
//   Trickle        everything arrives, a few bytes at a time
//   EndInsideReply the server's first application-data record after the
//                  client's first one is cut off halfway, and the
//                  connection then ends (TCP FIN, no close notice)
//   EndAfterReply  that record arrives whole, and the connection then ends
//   SlowReader     the client's bytes are taken slowly through a small
//                  receive buffer, so that its sends fill up and block
// The reply cases need a TLS 1.2 server: its handshake records have their
// own content type, so the first application data is the client's request.
class TlsRecordRelay {
public:
    enum class Mode { Trickle, EndInsideReply, EndAfterReply, SlowReader };

    TlsRecordRelay(std::int32_t TargetPort, Mode How);
    ~TlsRecordRelay();
    TlsRecordRelay(const TlsRecordRelay&) = delete;
    TlsRecordRelay& operator=(const TlsRecordRelay&) = delete;

    std::int32_t Port() const { return FPort; }

private:
    void Listen();
    void Pass(int ClientFd);

    std::int32_t TargetPort;
    Mode How;
    int ListenFd = -1;
    std::int32_t FPort = 0;
    std::atomic<bool> Stop{false};
    std::thread Listener;
    std::mutex Lock;
    std::vector<std::thread> Connections;
};

}  // namespace quorvel
