// quorvel.exe: the POP3 mail checker of the notification area.
#include <windows.h>

#include <exception>

#include "app/ErrorReport.h"
#include "app/InstanceGuard.h"
#include "app/WinMainForm_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // One copy per user: a second start ends at once, silently.
    quorvel::InstanceGuard guard(quorvel::InstanceGuard::DefaultPath());
    if (!guard.Held() && !guard.Failed()) return 0;
    try {
        quorvel::TWinMainForm mainForm;
        mainForm.Run();
    } catch (const std::exception& error) {
        quorvel::ShowErrorReport(error.what());
    } catch (...) {
        quorvel::ShowErrorReport("Unknown error");
    }
    // The guard is released as it goes.
    return 0;
}
