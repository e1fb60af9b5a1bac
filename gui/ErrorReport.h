#pragma once

#include <string>

namespace quorvel {

// The program's general error report: a message box with the failure's
// message, after which the program goes on.
void ShowErrorReport(const std::string& Message);

}  // namespace quorvel
