#pragma once

#include <stdexcept>
#include <string>

namespace quorvel {

// The program's general exception: a failure that carries only its message.
// Every failure the program reports descends from it.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message);
    std::string Message() const { return what(); }
};

}  // namespace quorvel
