#include <chrono>
#include <thread>

#include "WaitHelpers.h"

bool WaitPolling(const std::function<bool()>& pred, int nLimitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nLimitMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return pred();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
