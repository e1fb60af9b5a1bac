#pragma once

#include "app/MainWindowParts.h"
#include "gui/MailLauncher.h"

namespace quorvel {

// The system's default mail program, as the launcher finds it.
class TDefaultMailProgram final : public IMailProgram {
public:
    void Start() override { ExecuteMailClient(); }
};

}  // namespace quorvel
