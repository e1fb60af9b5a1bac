#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

// What one read or write on a byte channel came to. WantRead and WantWrite
// ask the caller to wait (in the event loop) until the socket is readable
// or writable and then repeat the step. Either can come from any step of a
// TLS session: a read may have to write (a key update) and a write may
// have to read.
enum class IoStep {
    Done,
    WantRead,
    WantWrite,
    Closed,  // the server ended the connection (or the session)
    Failed,  // fatal; the channel tells why
};

// The bytes of one connection in both directions: the socket itself, or a
// TLS session over it. A channel never waits and never closes the socket.
class IByteChannel {
public:
    virtual ~IByteChannel() = default;

    // Bytes into Data (at most Size); Got tells how many.
    virtual IoStep Read(char* Data, std::size_t Size, std::size_t& Got) = 0;
    // Sends up to Size bytes; Sent tells how many were taken. A write that
    // got WantWrite is repeated with the same bytes.
    virtual IoStep Write(const char* Data, std::size_t Size, std::size_t& Sent) = 0;
    // Bytes the channel holds that the socket will not signal, so a reader
    // takes them before it waits again.
    virtual bool HasBufferedInput() const = 0;
};

// The plain connection: the socket's bytes as they are.
class TSocketChannel final : public IByteChannel {
public:
    void SetSocket(int Socket) { Fd = Socket; }

    IoStep Read(char* Data, std::size_t Size, std::size_t& Got) override;
    IoStep Write(const char* Data, std::size_t Size, std::size_t& Sent) override;
    bool HasBufferedInput() const override { return false; }

    // The socket error number of the last step that Failed.
    std::int32_t ErrorNo() const { return FErrorNo; }

private:
    int Fd = -1;
    std::int32_t FErrorNo = 0;
};

}  // namespace quorvel
