#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ReceivePath.h"
#include "Serialport.h"

// Plays the main window: records what the channel hands over, feeds it to a
// receive path when one is attached, and lets the test act as the UI thread.
class TestOwner : public SerialOwner {
public:
    struct Block {
        int message;
        std::vector<uint8_t> bytes;
        RxBlockInfo info;
    };

    void DeliverBytes(int message, const uint8_t* bytes, const RxBlockInfo& info) override {
        blocks.push_back({message, std::vector<uint8_t>(bytes, bytes + info.count), info});
        if (path) path->OnRxBlock(message, bytes, info);
        if (onDeliver) onDeliver(blocks.back());
    }
    void WakeUiThread() override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++wakes_;
        cv_.notify_all();
    }
    void ShowPortError(const std::string& text, const std::string& caption) override {
        std::lock_guard<std::mutex> lock(mutex_);
        errors_.emplace_back(text, caption);
        cv_.notify_all();
    }

    std::vector<std::pair<std::string, std::string>> Errors() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return errors_;
    }
    int Wakes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return wakes_;
    }

    // The UI thread's loop: serve deliveries until `done` holds or the deadline passes.
    bool PumpUntil(CSerialPort& port, const std::function<bool()>& done,
                   std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            while (port.ServiceDeliveries()) {
            }
            if (done()) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::unique_lock<std::mutex> lock(mutex_);
            const int seen = wakes_;
            const size_t errs = errors_.size();
            cv_.wait_until(lock,
                           std::min(deadline, std::chrono::steady_clock::now() +
                                                  std::chrono::milliseconds(20)),
                           [&] { return wakes_ != seen || errors_.size() != errs; });
        }
    }

    // Waits (without serving) until the monitor has put a block in the slot.
    bool WaitForWake(int after, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, limit, [&] { return wakes_ > after; });
    }

    ReceivePath* path = nullptr;
    std::function<void(const Block&)> onDeliver;
    std::vector<Block> blocks;

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    int wakes_ = 0;
    std::vector<std::pair<std::string, std::string>> errors_;
};
