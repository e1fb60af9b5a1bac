#pragma once

// The main window with recording tray shells, an in-memory registry and
// scripted POP3 servers on loopback: the rig of MainWindowTest.cpp and
// MainWindowChecksTest.cpp, the same on Linux and, under Wine, on Windows.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "settings/Settings.h"
#include "tests/app/MemoryRegistry.h"
#include "tests/app/ScriptedClock.h"
#include "tests/net/ScriptedPop3Server.h"
#include "tests/net/TestLoop.h"
#include "tests/tray/RecordingTrayShell.h"
#include "tray/ImageList.h"

namespace quorvel {

// Each use of the settings opens the same registry held in memory.
class SharedRegistry final : public IRegistry {
public:
    explicit SharedRegistry(test::MemoryRegistry& Target) : R(Target) {}
    void BeginUpdate() override { R.BeginUpdate(); }
    void CommitUpdate() override { R.CommitUpdate(); }
    void EndUpdate() noexcept override { R.EndUpdate(); }
    void CheckReadable() override { R.CheckReadable(); }
    void CreateKey(std::string_view P) override { R.CreateKey(P); }
    bool KeyExists(std::string_view P) override { return R.KeyExists(P); }
    std::vector<std::string> GetKeyNames(std::string_view P) override { return R.GetKeyNames(P); }
    bool DeleteKey(std::string_view P) override { return R.DeleteKey(P); }
    std::optional<TRegDataType> GetDataType(std::string_view P, std::string_view N) override {
        return R.GetDataType(P, N);
    }
    std::string ReadString(std::string_view P, std::string_view N) override { return R.ReadString(P, N); }
    std::int32_t ReadInteger(std::string_view P, std::string_view N) override { return R.ReadInteger(P, N); }
    void WriteString(std::string_view P, std::string_view N, std::string_view V, TRegDataType T) override {
        R.WriteString(P, N, V, T);
    }
    void WriteInteger(std::string_view P, std::string_view N, std::int32_t V) override { R.WriteInteger(P, N, V); }
    std::string DamageReport() const override { return R.DamageReport(); }

private:
    test::MemoryRegistry& R;
};

// Everything around the window that is not a tray icon, recording what it
// was asked to do.
class Surroundings final : public IMainWindowHost,
                           public ISettingsPlace,
                           public IMainDialogs,
                           public INewMailSound,
                           public IMailProgram,
                           public INewMailNotice,
                           public ISystemState {
public:
    test::MemoryRegistry Registry;
    std::vector<std::string> Reports;
    int Ends = 0, Sounds = 0, MailStarts = 0;
    bool DialogsBuilt = true, RunAtStartup = false;
    std::function<bool()> OnDialog = [] { return true; };  // what a dialog does while shown; returns its OK
    std::vector<std::string> Dialogs;                      // the dialogs shown, in order
    TOptionValues OptionsShown, OptionsGiven;
    std::vector<std::string> Notices;  // "title|body" shown, "-" withdrawn
    bool NetworkKnown = false, NetworkUp = true;

    void ReportError(const std::string& Message) override { Reports.push_back(Message); }
    void EndProgram() override { ++Ends; }
    std::unique_ptr<IRegistry> Open() override { return std::make_unique<SharedRegistry>(Registry); }
    bool IsRunAtStartup() override { return RunAtStartup; }
    void SetRunAtStartup(bool Registered) override { RunAtStartup = Registered; }
    bool Available() const override { return DialogsBuilt; }
    bool ShowAccountList(TAccounts&) override { return ShowDialog("accounts"); }
    bool ShowOptions(TOptionValues& Values) override {
        OptionsShown = Values;
        if (!ShowDialog("options")) return false;
        Values = OptionsGiven;
        return true;
    }
    void ShowAbout() override { ShowDialog("about"); }
    void Play() override { ++Sounds; }
    void Start() override { ++MailStarts; }
    void Show(const std::string& Title, const std::string& Body) override { Notices.push_back(Title + "|" + Body); }
    void Withdraw() override { Notices.push_back("-"); }
    bool KnowsNetwork() const override { return NetworkKnown; }
    bool Online() const override { return NetworkUp; }

private:
    bool ShowDialog(const std::string& Name) {
        Dialogs.push_back(Name);
        return OnDialog();
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    // Stores the accounts and an interval the way a save of the dialogs does.
    void StoreSettings(const std::vector<std::pair<std::int32_t, std::string>>& PortsAndUsers, int Minutes) {
        TAccounts accounts;
        for (const auto& [port, user] : PortsAndUsers)
            accounts.Add() = TAccount{"127.0.0.1", port, "secret", user, true};
        SaveAccounts(Around.Registry, accounts);
        SaveInterval(Around.Registry, MinutesToPeriod(static_cast<std::uint32_t>(Minutes)));
    }
    // Everything anew, for the next row of a table.
    void Afresh() {
        Window.reset();
        Around = Surroundings();
        StatusShell = NewMailShell = RecordingTrayShell();
    }
    TMainWindow& Start() {
        Window = std::make_unique<TMainWindow>(TMainWindowParts{Loop, StatusShell, NewMailShell, Clock, Around, Around,
                                                                Around, Around, Around, Around, Around});
        Window->FormCreate();
        return *Window;
    }
    static std::vector<std::string> Tips(const RecordingTrayShell& Shell) {
        std::vector<std::string> tips;
        for (const auto& notify : Shell.Notifies) tips.push_back(notify.Data.Tip);
        return tips;
    }
    // A server that holds Count messages, answering after PauseMs.
    static std::vector<test::ServerStep> Mailbox(int Count, int PauseMs = 0) {
        using namespace test;
        return {Pause(PauseMs), Say("+OK ready\r\n"), Hear(), Say("+OK\r\n"),
                Hear(),         Say("+OK\r\n"),       Hear(), Say("+OK " + std::to_string(Count) + " 100\r\n"),
                Hear(),         Say("+OK bye\r\n"),   Close()};
    }

    test::CountingLoop Loop;
    RecordingTrayShell StatusShell, NewMailShell;
    test::ScriptedClock Clock;  // every check takes no time: level 4
    Surroundings Around;
    std::unique_ptr<TMainWindow> Window;
};

}  // namespace quorvel
