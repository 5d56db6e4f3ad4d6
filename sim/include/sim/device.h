// One device of the simulated rig, as seen from its serial line.
//
// A device takes the bytes that arrive on its line and gives back the answers it sends. Each
// answer is built twice: as the device sends it, and with a broken check sequence, so that the
// line can inject the "bad check" fault without knowing the device's framing. The line owns
// every other fault (silence, noise, slow bytes, unplugging) and the pacing.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace veltron::sim {

using Bytes = std::vector<std::uint8_t>;

struct Answer {
    std::string device; // name of the answering device ("cam2" on the camera line)
    Bytes frame;        // the answer as sent
    Bytes badCheck;     // the same answer with a wrong check sequence
};

// Counters of what a device received, by name: "rx" (frames addressed to it), "bad" (frames
// with a wrong check sequence), one entry per command code in decimal ("17"), and for the
// motion payloads one per command, mode and direction ("36:3:1" = press down to force).
class Counters {
public:
    void add(const std::string& key, long n = 1) { values_[key] += n; }
    long get(const std::string& key) const {
        const auto it = values_.find(key);
        return it == values_.end() ? 0 : it->second;
    }
    void clear() { values_.clear(); }
    const std::map<std::string, long>& values() const { return values_; }
    // "key=value" pairs in key order, separated by blanks.
    std::string text() const;

private:
    std::map<std::string, long> values_;
};

class Device {
public:
    virtual ~Device() = default;
    // Bytes received on the line, in arrival order; answers go to out.
    virtual void receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& out) = 0;
    // Names of the devices behind this line ("ck"; "cam1".."cam4" for the camera line).
    virtual std::vector<std::string> names() const = 0;
    virtual Counters& counters(const std::string& name) = 0;
};

} // namespace veltron::sim
