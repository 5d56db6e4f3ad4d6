// A fresh command layer against scripted stations on pseudo-terminals: the main controller
// on COM2, the second controller on COM3, the cameras on COM5; the drive's COM7 does not
// exist. The host sleeps in virtual time, so the waits of the commands cost nothing.
#pragma once

#include "app/settings.h"
#include "peer.h"
#include "rig/terminal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace veltron::testing {

class FakeHost : public rig::RigHost {
public:
    void processEvents() override {
        ++pumps;
        ++now;
        if (onPump) {
            onPump();
        }
    }
    void sleepMs(int ms) override {
        sleeps.push_back(ms);
        now += static_cast<std::uint64_t>(ms);
    }
    std::uint64_t tickMs() override { return now; }
    void beep() override { ++beeps; }

    std::uint64_t now = 0;
    std::vector<int> sleeps;
    int pumps = 0;
    int beeps = 0;
    std::function<void()> onPump;
};

// What the main controller answers. Counters restart at every move command (34..37 with a
// mode other than stop), so "poll n" means the n-th reading of the awaited state.
struct MainModel {
    std::function<std::uint16_t(int read)> status = [](int) { return std::uint16_t{0}; }; // read: 1, 2, ...
    std::function<bool(int read)> forceReached = [](int) { return false; };
    std::uint16_t adc = 0;
    std::int32_t encoder1 = 0, encoder2 = 0, height = 0, force = 0;
    std::uint16_t forceAdc = 0;
    bool okAnswer = true;
    std::set<int> silent;    // commands that get no answer
    std::set<int> truncated; // commands answered with control byte only
};

Bytes be32(std::int32_t v);

class RigTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Installs the model as the main controller's responder.
    void serveMain(MainModel model);
    // The second controller answers every command with these data bytes (or stays silent).
    void serveSecond(std::optional<Bytes> data);
    // Creates the terminal and opens the links as the start-up does.
    void start();
    // Codes of the command fault reports written to the log so far.
    std::vector<int> faults() const;
    // Number in the status line after "Повторы:".
    int polls() const;

    std::filesystem::path dir_;
    Settings settings_;
    FakeHost host_;
    StationPeer main_, second_, cams_;
    std::unique_ptr<rig::Terminal> t_;
};

} // namespace veltron::testing
