// The line exchange over an open connection, plain or TLS alike: sending,
// reading exactly one line, the command-and-reply step and discarding
// pending input. Every wait is the transport's usual one: the event loop
// runs until the socket is ready, the connection goes, or a cancel (or the
// time-out) ends it.

#include <algorithm>
#include <cstring>

#include "core/ScopeExit.h"
#include "net/SocketTransport.h"

namespace quorvel {

IByteChannel* TSocketTransport::Channel() {
    if (Tls) return Tls.get();
    return Connected() ? &Plain : nullptr;
}

void TSocketTransport::RaiseChannelFailure() {
    if (Tls) throw ESockError(SockFailure::Tls, TlsFailureText(Tls->Failure()));
    const std::int32_t error = Plain.ErrorNo();
    FLastErrorNo = error;
    // The socket is not connected: the connection is gone (or never was).
    if (error == SocketErrorNo::NotConnected) throw NotConnectedError();
    throw SocketCallError(error);
}

void TSocketTransport::ListenForInput() {
    InputNoticed = false;
    UpdateInterest();
}

void TSocketTransport::WaitFor(IoStep Step) {
    if (Step != IoStep::WantWrite) {
        ListenForInput();
        FLoop.WaitForEvents();
        return;
    }
    WaitingForRoom = true;
    UpdateInterest();
    OnScopeExit stop([this] {
        WaitingForRoom = false;
        UpdateInterest();
    });
    FLoop.WaitForEvents();
}

void TSocketTransport::Write(const std::string& Text) {
    StatusMessage(8, "Write");
    // A text is sent up to its first NUL.
    const std::size_t length = std::min(Text.find('\0'), Text.size());
    if (length > MaxTextLength) throw ESockError(SockFailure::TextTooLong, "Socket write text too long");
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
    OnScopeExit stop([this] { TimerOff(); });

    if (Pending == Interrupt::None) {
        std::size_t length = Length;
        if (length == 0) {
            length = ::strnlen(Data, MaxTextLength + 1);
            if (length > MaxTextLength) throw ESockError(SockFailure::TextTooLong, "Socket write text too long");
        }
        std::size_t done = 0;
        while (done < length && Pending == Interrupt::None) {
            IByteChannel* channel = Channel();
            std::size_t sent = 0;
            const IoStep step = channel != nullptr ? channel->Write(Data + done, length - done, sent) : IoStep::Closed;
            if (step == IoStep::Done) {
                done += sent;
            } else if (step == IoStep::Closed) {
                FLastErrorNo = SocketErrorNo::NotConnected;
                throw NotConnectedError();
            } else if (step == IoStep::Failed) {
                RaiseChannelFailure();
            } else {
                WaitFor(step);
            }
        }
    }
    if (Pending != Interrupt::None) {
        Pending = Interrupt::None;
        throw EAbortError("Socket send aborted");
    }
}

std::string TSocketTransport::ReadLn() {
    StatusMessage(8, "ReadLn");
    TimerOn();
    // However the read ends, the next input (or the close) is told again.
    OnScopeExit stop([this] {
        ListenForInput();
        TimerOff();
    });

    std::string line;
    while (Pending == Interrupt::None) {
        if (Reader.TakeLine(line)) return line;
        IByteChannel* channel = Channel();
        if (channel == nullptr) {
            // A close notification has replaced the socket (or it never
            // was connected).
            FLastErrorNo = SocketErrorNo::NotConnected;
            throw NotConnectedError();
        }
        const IoStep step = Reader.Fill(*channel);
        if (step == IoStep::Closed) {
            // The peer closed. With nothing of a line read, the result is the
            // empty text; a line cut off in the middle is an error, never a
            // short line.
            if (Reader.Empty()) return std::string();
            throw NotConnectedError();
        }
        if (step == IoStep::Failed) RaiseChannelFailure();
        // After bytes came, the reader looks for the line end before the
        // channel is asked again (a TLS session may hold more already).
        if (step != IoStep::Done) WaitFor(step);
    }
    Pending = Interrupt::None;
    throw EAbortError("Socket readln aborted");
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
            if (value > 32767) throw ESockError(SockFailure::ReplyOutOfRange, "Reply number out of range");
            FReplyNumber = static_cast<std::int16_t>(value);
        }
    }
    return FLastReply;
}

void TSocketTransport::ClearInput() {
    StatusMessage(8, "Clearing Input");
    Reader.Clear();
    if (IByteChannel* channel = Channel()) {
        (void)Reader.Fill(*channel);
        Reader.Clear();
    }
    ListenForInput();
}

}  // namespace quorvel
