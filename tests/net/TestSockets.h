#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The few plain socket calls the test servers need, one implementation per
// platform. Sockets are ints; -1 is none.
namespace quorvel::test::sockets {

// A listening socket on Address (IPv4 or IPv6 literal) and a free port;
// -1 when the address cannot be used here.
int Listen(const std::string& Address, int Backlog, std::int32_t& Port);
// A socket bound to 127.0.0.1 and a free port that never listens: a
// connection to it is refused.
int BindOnly(std::int32_t& Port);
int Accept(int Listener);
// A blocking connection to 127.0.0.1:Port; -1 when it fails.
int Connect(std::int32_t Port);
// Starts a connection to 127.0.0.1:Port without waiting for it.
int ConnectWithoutWaiting(std::int32_t Port);
// Whether something can be read (or the peer closed) within Ms.
bool WaitReadable(int Socket, int Ms);
// Bytes read; 0 or less once the peer closed or reset.
long ReceiveSome(int Socket, char* Data, std::size_t Size);
// More: hold the bytes back so they leave with what follows (the close).
void SendText(int Socket, const std::string& Text, bool More = false);
void ShutdownSend(int Socket);
// Closes so that the peer sees a reset.
void CloseWithReset(int Socket);
void CloseSocket(int Socket);

// Whether this is Windows emulated by Wine, whose Winsock differs from the
// real one in the ways noted where a test allows for it.
bool RunsUnderWine();

// Whether a peer's reset reaches the program as one (Wine 8 reports it as
// an orderly close, at least at times).
bool PeerResetIsReported();

}  // namespace quorvel::test::sockets
