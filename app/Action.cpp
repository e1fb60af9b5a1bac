#include "app/Action.h"

namespace quorvel {

void TAction::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    for (const auto& listener : FListeners) listener(*this);
}

void TAction::AddChangeListener(std::function<void(const TAction&)> Listener) {
    FListeners.push_back(std::move(Listener));
}

void TAction::Execute() {
    if (FEnabled && OnExecute) OnExecute();
}

}  // namespace quorvel
