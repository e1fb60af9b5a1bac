// Saves two account lists in turn, for ever, under the stand-in root given as
// its first argument, and sets the named event of the second after the first
// save: the killed-save test ends it at random moments.
#include <windows.h>

#include <string>

#include "settings/Settings.h"
#include "settings/WinRegistry_win32.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    quorvel::TWinRegistry registry(argv[1]);
    quorvel::TAccounts one;
    one.Add().Host = "one.example";
    quorvel::TAccounts three;
    for (const char* host : {"a.example", "b.example", "c.example"}) three.Add().Host = host;
    quorvel::SaveAccounts(registry, three);
    HANDLE started = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (started == nullptr) return 3;
    ::SetEvent(started);
    for (unsigned i = 1;; ++i) quorvel::SaveAccounts(registry, i % 2 == 0 ? three : one);
}
