#pragma once

#include <cstdint>

#include "gui/win32/WinDialog_win32.h"

namespace quorvel {

// The options on Win32: the check interval in minutes and start at log-on.
// OK closes it only when the minutes are an integer from 0 to 71582 (the
// largest whose period fits 32 bits of milliseconds); otherwise it beeps
// and puts the focus on the box. Help is always disabled.
class TOptionForm final : public TWinDialog {
public:
    TOptionForm();

    // Set before showing; read after OK.
    void SetIntervalMinutes(std::uint32_t Minutes) { FMinutes = Minutes; }
    std::uint32_t IntervalMinutes() const { return FMinutes; }
    void SetRunAtStartup(bool Run) { FRunAtStartup = Run; }
    bool RunAtStartup() const { return FRunAtStartup; }

private:
    INT_PTR HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;
    void FormCreate();
    // Whether OK may close the dialog; keeps what it shows when it may.
    bool FormCloseQuery();

    std::uint32_t FMinutes = 5;
    bool FRunAtStartup = false;
};

}  // namespace quorvel
