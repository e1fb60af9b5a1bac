#include "core/Exception.h"

namespace quorvel {

Exception::Exception(const std::string& message) : std::runtime_error(message) {}

}  // namespace quorvel
