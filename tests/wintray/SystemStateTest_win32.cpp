#include "gui/win32/SystemState_win32.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace quorvel {
namespace {

// The system calls back on threads of its own: the window's thread reads the
// network once per burst of notices and tells only a change.
TEST(WinSystemState, NetworkNoticesReachTheWindowThread) {
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    bool up = true;
    int probes = 0;
    std::vector<std::string> reported;
    TWinSystemState state(
        window, [&](const std::string& Message) { reported.push_back(Message); }, [&] { return ++probes, up; });
    ASSERT_TRUE(state.KnowsNetwork());
    std::vector<bool> told;
    state.OnNetworkChanged = [&](bool Online) { told.push_back(Online); };
    const auto burst = [&](bool Up) {
        up = Up;
        std::thread([&] {
            for (int i = 0; i < 5; ++i) state.NetworkNoticed();
        }).join();
        MSG message;
        LRESULT result = 0;
        while (::PeekMessageW(&message, window, 0, 0, PM_REMOVE))
            state.HandleMessage(message.message, message.wParam, message.lParam, result);
    };
    for (bool Up : {false, false, true}) burst(Up);
    EXPECT_EQ(told, (std::vector<bool>{false, true}));
    EXPECT_EQ(probes, 4);  // at the start and once per burst
    state.OnNetworkChanged = [](bool) { throw std::runtime_error("boom"); };
    burst(false);
    EXPECT_EQ(reported, (std::vector<std::string>{"boom"}));
    ::DestroyWindow(window);
}

}  // namespace
}  // namespace quorvel
