#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quorvel {

class EventLoop;
class IRegistry;
class ITickClock;
class ITrayShell;
class TAccounts;

// What the main window asks of the program around it: the general error
// report and the end of the message loop.
class IMainWindowHost {
public:
    virtual ~IMainWindowHost() = default;
    // Shows Message in a message box and returns once it is closed; the
    // program goes on.
    virtual void ReportError(const std::string& Message) = 0;
    // Ends the message loop once the running handler has returned.
    virtual void EndProgram() = 0;
};

// The user's settings: the store and the start-at-log-on registration.
class ISettingsPlace {
public:
    virtual ~ISettingsPlace() = default;
    // Opens the store; opening reads and writes nothing.
    virtual std::unique_ptr<IRegistry> Open() = 0;
    virtual bool IsRunAtStartup() = 0;
    virtual void SetRunAtStartup(bool Registered) = 0;
};

// What the options dialog shows and, on OK, gives back.
struct TOptionValues {
    std::uint32_t IntervalMinutes = 0;
    bool RunAtStartup = false;
};

// The three dialogs of the tray menu, each made for one use with the main
// window as owner, shown modally and released before the call returns.
class IMainDialogs {
public:
    virtual ~IMainDialogs() = default;
    // False where the dialogs are not built: their actions stay greyed.
    virtual bool Available() const = 0;
    // The account list on Accounts; true when it was closed with "閉じる".
    virtual bool ShowAccountList(TAccounts& Accounts) = 0;
    // The options dialog filled with Values; true, with Values changed, on OK.
    virtual bool ShowOptions(TOptionValues& Values) = 0;
    virtual void ShowAbout() = 0;
};

// The new-mail sound: started, not waited for; silent when none is set up.
class INewMailSound {
public:
    virtual ~INewMailSound() = default;
    virtual void Play() = 0;
};

// The user's default mail program; nothing registered, nothing happens.
class IMailProgram {
public:
    virtual ~IMailProgram() = default;
    virtual void Start() = 0;
};

// Everything the main window is built on; each part outlives the window.
struct TMainWindowParts {
    EventLoop& Loop;  // the check and animation timers, the network waits
    ITrayShell& StatusShell;
    ITrayShell& NewMailShell;
    ITickClock& Clock;
    IMainWindowHost& Host;
    ISettingsPlace& Settings;
    IMainDialogs& Dialogs;
    INewMailSound& Sound;
    IMailProgram& MailProgram;
};

}  // namespace quorvel
