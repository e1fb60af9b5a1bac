#pragma once

#include <exception>
#include <functional>
#include <string>
#include <type_traits>

// The message of what Action raised, "(nothing raised)", or, when it raised
// something that is not an Error, that message behind "wrong class: ".
template <typename Error = std::exception>
std::string MessageOf(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const std::exception& error) {
        if constexpr (!std::is_same_v<Error, std::exception>) {
            if (dynamic_cast<const Error*>(&error) == nullptr) return std::string("wrong class: ") + error.what();
        }
        return error.what();
    }
    return "(nothing raised)";
}
