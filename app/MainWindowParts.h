#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quorvel {

class IEventLoop;
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
    bool NotifyNewMail = true;
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

// The desktop's notice of new mail. One notice at a time: Show replaces the one still
// shown (or shows a new one if the user closed it); Withdraw takes the shown one away
// (none shown: nothing happens). A click on the notice, or on its button "メーラーを開く"
// where the desktop shows buttons, calls OnOpen (set by the main window) from the loop.
// Failures (no notification service, a slow one) are silent and never delay the caller.
class INewMailNotice {
public:
    virtual ~INewMailNotice() = default;
    virtual void Show(const std::string& Title, const std::string& Body) = 0;
    virtual void Withdraw() = 0;
    std::function<void()> OnOpen;
};

// What the system tells of power and the network. The platform calls the handlers the
// main window set, from the event loop.
class ISystemState {
public:
    virtual ~ISystemState() = default;
    // False where the platform cannot tell the network's state (no backend): the
    // program then behaves as if always online.
    virtual bool KnowsNetwork() const = 0;
    virtual bool Online() const = 0;
    std::function<void()> OnResumed;  // woke from suspend or hibernation
    std::function<void(bool Online)> OnNetworkChanged;
};

// For hosts without a notification service: shows nothing.
class TNoNewMailNotice final : public INewMailNotice {
public:
    void Show(const std::string&, const std::string&) override {}
    void Withdraw() override {}
};

// For hosts that hear nothing of power or the network: never resumes, always online.
class TNoSystemState final : public ISystemState {
public:
    bool KnowsNetwork() const override { return false; }
    bool Online() const override { return true; }
};

// Everything the main window is built on; each part outlives the window.
struct TMainWindowParts {
    IEventLoop& Loop;  // the check and animation timers, the network waits
    ITrayShell& StatusShell;
    ITrayShell& NewMailShell;
    ITickClock& Clock;
    IMainWindowHost& Host;
    ISettingsPlace& Settings;
    IMainDialogs& Dialogs;
    INewMailSound& Sound;
    IMailProgram& MailProgram;
    INewMailNotice& Notice;
    ISystemState& System;
};

}  // namespace quorvel
