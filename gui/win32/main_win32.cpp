// quorvel.exe: the POP3 mail checker of the notification area.
#include <windows.h>

#include "app/InstanceGuard.h"
#include "core/Guarded.h"
#include "gui/ErrorReport.h"
#include "gui/win32/WinMainForm_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // One copy per user: a second start ends at once, silently.
    quorvel::TInstanceGuard guard(quorvel::TInstanceGuard::DefaultPath());
    if (!guard.Held() && !guard.Failed()) return 0;
    quorvel::Guarded(quorvel::ShowErrorReport, [] {
        quorvel::TWinMainForm mainForm;
        mainForm.Start();
        mainForm.Run();
    });
    // The guard is released as it goes.
    return 0;
}
