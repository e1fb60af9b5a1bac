#pragma once

#include <string>
#include <vector>

#include "tray/PopupMenu.h"
#include "tray/TrayShell.h"

namespace quorvel {

// A tray shell that records every call, in order, and answers the cursor and
// key-state questions with set values.
class RecordingTrayShell final : public ITrayShell {
public:
    struct Notify {
        TNotifyIconMessage Message;
        TNotifyIconData Data;
    };

    std::vector<Notify> Notifies;    // the add / modify / delete calls alone
    std::vector<std::string> Calls;  // every call by name, e.g. "NIM_ADD", "ShowMenu"
    ITrayWindow* Window = nullptr;
    TPopupMenu* ContextMenu = nullptr;
    TPoint Cursor{100, 200};
    TShiftState Shift = 0;
    std::function<void()> OnProcessMessages;  // runs inside ProcessMessages

    void Attach(ITrayWindow* Value) override {
        Window = Value;
        Calls.push_back(Value ? "Attach" : "Detach");
    }
    void NotifyIcon(TNotifyIconMessage Message, const TNotifyIconData& Data) override {
        static const char* const names[] = {"NIM_ADD", "NIM_MODIFY", "NIM_DELETE"};
        Notifies.push_back({Message, Data});
        Calls.push_back(names[static_cast<int>(Message)]);
    }
    void SetContextMenu(TPopupMenu* Menu) override {
        ContextMenu = Menu;
        Calls.push_back("SetContextMenu");
    }
    TPoint CursorPos() override { return Cursor; }
    TShiftState ShiftState() override { return Shift; }
    void SetForeground() override { Calls.push_back("SetForeground"); }
    void ProcessMessages() override {
        Calls.push_back("ProcessMessages");
        if (OnProcessMessages) OnProcessMessages();
    }
    void ShowMenu(TPopupMenu& Menu, int X, int Y) override {
        Calls.push_back("ShowMenu");
        Menu.Popup(X, Y);
    }
};

}  // namespace quorvel
