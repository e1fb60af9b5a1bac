#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quorvel {

// A user command of the main window: a caption, a picture of the image list,
// an enabled state and the handler that carries it out. Menu items only
// point to actions; a platform's menu shows the caption and picture and is
// greyed while the action is disabled.
class TAction {
public:
    TAction(std::string Caption, int ImageIndex) : FCaption(std::move(Caption)), FImageIndex(ImageIndex) {}
    TAction(const TAction&) = delete;
    TAction& operator=(const TAction&) = delete;

    const std::string& Caption() const { return FCaption; }
    int ImageIndex() const { return FImageIndex; }

    bool Enabled() const { return FEnabled; }
    // Tells every listener when the state changes; setting the same state
    // tells nobody.
    void SetEnabled(bool Value);
    // Listener runs after each change of the enabled state, for as long as
    // the action lives.
    void AddChangeListener(std::function<void(const TAction&)> Listener);

    // Runs the handler when the action is enabled (a greyed menu item does
    // nothing). The handler reports its own failures.
    void Execute();

    std::function<void()> OnExecute;

private:
    std::string FCaption;
    int FImageIndex;
    bool FEnabled = true;
    std::vector<std::function<void(const TAction&)>> FListeners;
};

// Disables an action for as long as it lives, and enables it again after,
// whatever happened meanwhile.
class TActionBusy {
public:
    explicit TActionBusy(TAction& Busy) : FAction(Busy) { FAction.SetEnabled(false); }
    ~TActionBusy() { FAction.SetEnabled(true); }
    TActionBusy(const TActionBusy&) = delete;
    TActionBusy& operator=(const TActionBusy&) = delete;

private:
    TAction& FAction;
};

}  // namespace quorvel
