// The line exchange over an open connection: sending, reading exactly one
// line, the command-and-reply step and discarding pending input.

#include <algorithm>
#include <cstring>

#include "net/SocketTransport.h"

namespace quorvel {

void TSocketTransport::Write(const std::string& Text) {
    StatusMessage(8, "Write");
    // A text is sent up to its first NUL.
    const std::size_t length = std::min(Text.find('\0'), Text.size());
    if (length > MaxTextLength) throw ESockError("Socket write text too long");
    // Length 0 sends up to the first NUL, which here is nothing at all.
    SendBuffer(Text.c_str(), static_cast<std::uint16_t>(length));
}

void TSocketTransport::Writeln(const std::string& Text) {
    StatusMessage(8, "Writeln");
    Write(Text + "\r\n");
}

void TSocketTransport::SendBuffer(const char* Data, std::uint16_t Length) {
    StatusMessage(4, "Sending Buffer");
    TimerOn();
    struct Stop {
        TSocketTransport& Self;
        ~Stop() { Self.TimerOff(); }
    } stop{*this};

    if (!Canceled) {
        std::size_t length = Length;
        if (length == 0) {
            length = ::strnlen(Data, MaxTextLength + 1);
            if (length > MaxTextLength) throw ESockError("Socket write text too long");
        }
        if (Tls) {
            SendTls(Data, length);
            length = 0;
        }
        std::size_t remaining = length;
        while (remaining > 0 && !Canceled) {
            std::int32_t error = 0;
            const long n = sockets::Send(Fd, Data + (length - remaining), remaining, error);
            if (n == 0) break;
            if (n > 0) {
                remaining -= static_cast<std::size_t>(n);
                continue;
            }
            if (error == SocketErrorNo::WouldBlock) {
                WaitWritable();
                continue;
            }
            // A send on a connection that is gone reads as a read would.
            if (!FConnected) {
                FLastErrorNo = SocketErrorNo::NotConnected;
                throw ESockError(NotConnectedText());
            }
            CheckSocketError(error, SocketErrorNo::WouldBlock);
        }
    }
    if (Canceled) {
        Canceled = false;
        throw EAbortError("Socket send aborted");
    }
}

// The send buffer is full: wait through the loop until the socket can take
// more, the connection goes, or a cancel (or the time-out) ends the wait.
void TSocketTransport::WaitWritable() {
    SendWaiting = true;
    WriteReady = false;
    UpdateInterest();
    struct Stop {
        TSocketTransport& Self;
        ~Stop() {
            Self.SendWaiting = false;
            Self.UpdateInterest();
        }
    } stop{*this};
    while (!WriteReady && !Canceled && FConnected) FLoop.WaitForEvents();
}

std::string TSocketTransport::ReadLn() {
    StatusMessage(8, "ReadLn");
    if (Tls) return ReadLnTls();
    std::string result;
    std::size_t consumed = 0;
    std::size_t lineEnd = 0;
    bool found = false;
    TimerOn();
    struct Stop {
        TSocketTransport& Self;
        ~Stop() { Self.TimerOff(); }
    } stop{*this};

    while (!Canceled) {
        if (consumed >= MaxLineLength) throw ESockError("Socket readln line too long");
        // Peek only: no byte past the line end is ever taken from the socket.
        std::int32_t error = 0;
        const long n = sockets::Receive(Fd, Buffer.data() + consumed, MaxLineLength - consumed, true, error);
        if (n == 0) {
            // The peer closed. With nothing of a line read, the result is the
            // empty text; a line cut off in the middle is an error, never a
            // short line.
            if (consumed == 0) return std::string();
            break;
        }
        if (n > 0) {
            const char* begin = Buffer.data() + consumed;
            const void* lf = std::memchr(begin, '\n', static_cast<std::size_t>(n));
            if (lf != nullptr) {
                lineEnd = consumed + static_cast<std::size_t>(static_cast<const char*>(lf) - begin);
                found = true;
                break;
            }
            result.resize(consumed + static_cast<std::size_t>(n));
            const long got = sockets::Receive(Fd, result.data() + consumed, static_cast<std::size_t>(n), false, error);
            if (got < 0) CheckSocketError(error, SocketErrorNo::WouldBlock);
            if (got > 0) consumed += static_cast<std::size_t>(got);
            result.resize(consumed);
        } else {
            FLastErrorNo = error;
            // The socket is not connected: a close notification has
            // replaced it (or it never was).
            if (FLastErrorNo == SocketErrorNo::NotConnected) break;
            CheckSocketError(error, SocketErrorNo::WouldBlock);
        }
        if (Canceled) break;
        ReadArmed = true;
        UpdateInterest();
        FLoop.WaitForEvents();
    }

    if (Canceled) {
        Canceled = false;
        throw EAbortError("Socket readln aborted");
    }
    if (!found) throw ESockError(NotConnectedText());

    result.resize(lineEnd + 1);
    while (consumed < lineEnd + 1) {
        std::int32_t error = 0;
        const long got = sockets::Receive(Fd, result.data() + consumed, lineEnd + 1 - consumed, false, error);
        if (got > 0) {
            consumed += static_cast<std::size_t>(got);
        } else {
            if (got < 0) CheckSocketError(error, SocketErrorNo::WouldBlock);
            throw ESockError(NotConnectedText());  // the peeked bytes vanished
        }
    }
    ReadArmed = true;
    UpdateInterest();
    return result;
}

std::string TSocketTransport::Transaction(const std::string& Command) {
    StatusMessage(8, "Transaction");
    FReplyNumber = 0;
    Writeln(Command);
    FLastReply = ReadLn();
    if (!FLastReply.empty()) {
        StatusMessage(1, FLastReply);
        std::int64_t value = 0;
        std::size_t digits = 0;
        while (digits < FLastReply.size() && digits < 10 && FLastReply[digits] >= '0' && FLastReply[digits] <= '9') {
            value = value * 10 + (FLastReply[digits] - '0');
            ++digits;
        }
        if (digits > 0) {
            if (value > 32767) throw ESockError("Reply number out of range");
            FReplyNumber = static_cast<std::int16_t>(value);
        }
    }
    return FLastReply;
}

void TSocketTransport::ClearInput() {
    StatusMessage(8, "Clearing Input");
    std::vector<char> scratch(MaxLineLength);
    // Inside TLS, what the library holds undecrypted stays with it.
    TlsInput.clear();
    std::int32_t error = 0;
    if (!Tls) (void)sockets::Receive(Fd, scratch.data(), scratch.size(), false, error);
    ReadArmed = true;
    UpdateInterest();
}

}  // namespace quorvel
