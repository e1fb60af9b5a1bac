#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// A socket address of either family, held as the system's sockaddr bytes.
struct TSocketAddress {
    alignas(8) unsigned char Storage[128]{};
    std::uint32_t Length = 0;

    // The system's address family (AF_INET, AF_INET6); 0 when empty.
    int Family() const;
    // False when empty or when it is the all-zero address of its family.
    bool IsSet() const;
    void SetPort(std::uint16_t Port);
};

// A numeric host: a dotted IPv4 address (the forms the system's classic
// parser takes: "a.b.c.d", "a.b.c", "a.b", "a", octal and hex parts), or an
// IPv6 literal. Needs no look-up.
bool ParseNumericHost(const std::string& Host, TSocketAddress& Address);

// The system's resolver (any family, stream sockets): fills Addresses in
// the resolver's order and returns 0, or a look-up error number of the
// socket error table (11001 "Host not found" and its neighbours).
std::int32_t ResolveHostName(const std::string& Host, std::vector<TSocketAddress>& Addresses);

// The thin layer over the system's sockets that the transport uses; one
// implementation per platform. Sockets are ints (a Winsock handle fits one);
// every error comes out as a socket error number (Winsock numbering).
namespace sockets {

constexpr int None = -1;

int IPv4Family();

// A non-blocking TCP socket of Family; None with Error set when it cannot
// be made. LingerZero makes its close a reset.
int Open(int Family, bool LingerZero, std::int32_t& Error);
void Close(int Socket);

// Starts connecting: 0 when the connection is up or under way (its outcome
// is told by writability), else the error that ended the attempt at once.
std::int32_t StartConnect(int Socket, const TSocketAddress& Address);
// After writability: 0 when the connection is up, else why it failed.
std::int32_t ConnectOutcome(int Socket);

// A non-blocking socket listening on 127.0.0.1 (never another interface)
// on a port the system picks, told in Port; None with Error set. No other
// program can bind the same address and port while it is open.
int ListenOnLoopback(int Backlog, std::int32_t& Port, std::int32_t& Error);
// A connection waiting on Listener, as a non-blocking socket of its own;
// None with Error set (WouldBlock when none waits).
int Accept(int Listener, std::int32_t& Error);

// Bytes read into Data (Peek leaves them queued); 0 when the peer has
// closed; -1 with Error set (WouldBlock when nothing is there yet).
long Receive(int Socket, char* Data, std::size_t Size, bool Peek, std::int32_t& Error);
// Bytes taken, or -1 with Error set (WouldBlock when the buffer is full).
// Never raises a signal.
long Send(int Socket, const char* Data, std::size_t Size, std::int32_t& Error);

}  // namespace sockets

}  // namespace quorvel
