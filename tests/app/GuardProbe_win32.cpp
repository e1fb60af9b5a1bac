// A second copy for the guard tests: takes the guard named by its first
// argument and ends at once with 0 when another copy holds it, as the program
// does; 3 when it got the guard. With "hold EVENT" it keeps the guard, sets
// the named event and waits to be ended.
#include <windows.h>

#include <string>

#include "app/InstanceGuard.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    quorvel::TInstanceGuard guard(argv[1]);
    if (!guard.Held()) return 0;
    if (argc >= 4 && std::string(argv[2]) == "hold") {
        HANDLE ready = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
        if (ready == nullptr) return 4;
        ::SetEvent(ready);
        ::Sleep(INFINITE);
    }
    return 3;
}
