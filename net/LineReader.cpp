#include "net/LineReader.h"

#include <cstring>

#include "net/SocketErrors.h"

namespace quorvel {

namespace {

const char* FindLf(const std::vector<char>& Bytes, std::size_t Start, std::size_t End) {
    return static_cast<const char*>(std::memchr(Bytes.data() + Start, '\n', End - Start));
}

}  // namespace

bool TLineReader::HoldsLine() const {
    return !Empty() && FindLf(Bytes, Start, End) != nullptr;
}

bool TLineReader::TakeLine(std::string& Line) {
    if (Empty()) return false;
    const char* lf = FindLf(Bytes, Start, End);
    if (lf == nullptr) {
        if (End - Start < MaxLineLength) return false;
        Clear();
        throw ESockError(SockFailure::LineTooLong, "Socket readln line too long");
    }
    const char* begin = Bytes.data() + Start;
    Line.assign(begin, static_cast<std::size_t>(lf - begin) + 1);
    Start += Line.size();
    if (Start == End) Clear();
    return true;
}

IoStep TLineReader::Fill(IByteChannel& Channel) {
    // The line being assembled moves to the front, so the buffer's room is
    // what the line limit leaves.
    if (Start > 0) {
        std::memmove(Bytes.data(), Bytes.data() + Start, End - Start);
        End -= Start;
        Start = 0;
    }
    std::size_t got = 0;
    const IoStep step = Channel.Read(Bytes.data() + End, Bytes.size() - End, got);
    if (step == IoStep::Done) End += got;
    return step;
}

}  // namespace quorvel
