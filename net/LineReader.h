#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "net/ByteChannel.h"

namespace quorvel {

// Assembles lines from a byte channel, plain or TLS alike: a buffer capped
// at the longest line, split on LF, and whatever follows a line kept for
// the next one. It never waits: Fill reads once and says what the channel
// needs, and the caller waits for that.
class TLineReader {
public:
    // Longest line, its LF included.
    static constexpr std::size_t MaxLineLength = 65536;

    TLineReader() : Bytes(MaxLineLength) {}

    // Moves the next whole line, its line end included, into Line; false
    // while none has come whole. A line that cannot end within
    // MaxLineLength raises ESockError (its bytes are dropped).
    bool TakeLine(std::string& Line);
    // Reads once from Channel, at most what the line limit leaves room for.
    // TakeLine comes first: a full buffer without a line end raises there.
    IoStep Fill(IByteChannel& Channel);

    // Whether any byte is held: a line, or the start of one.
    bool Empty() const { return Start == End; }
    // Whether a whole line is held.
    bool HoldsLine() const;
    void Clear() { Start = End = 0; }

private:
    std::vector<char> Bytes;
    std::size_t Start = 0;  // the held bytes are Bytes[Start, End)
    std::size_t End = 0;
};

}  // namespace quorvel
