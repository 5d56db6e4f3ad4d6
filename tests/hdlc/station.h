// Test peers on the master side of a pseudo-terminal: the library or the serial layer opens
// the slave side as if it were a serial device.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace veltron::testing {

using Bytes = std::vector<std::uint8_t>;

std::string hex(const Bytes& b);
Bytes concat(std::initializer_list<Bytes> parts);

// FCS-16 of RFC 1662 bit by bit, independent of the library's table.
std::uint16_t referenceFcs(const Bytes& bytes);
// The body followed by its FCS (ones' complement, low byte first).
Bytes withFcs(Bytes body);
// 0x7E and 0x7D as 0x7D, byte ^ 0x20.
Bytes escaped(const Bytes& raw);
// Frames built by these references: 0x7E, escaped body and FCS, 0x7E (an answer), and the
// same after 0xFF (a request).
Bytes referenceAnswer(const Bytes& body);
Bytes referenceRequest(const Bytes& body);

// A pseudo-terminal pair; the slave is left closed for the code under test to open.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    // Writes all bytes to the master side.
    void send(const Bytes& b) const;

private:
    int master_ = -1;
    std::string slavePath_;
};

// Makes dir/COM<port> a link to the pty's slave (replacing an old link).
std::filesystem::path linkComPort(const std::filesystem::path& dir, int port, const Pty& pty);

// A scripted station in the manner of a stub USB handle: a queue of "expect these bytes on
// the wire" and "answer with those" steps, run on a thread. Any mismatch stops the script
// and is reported by finish() with the bytes seen.
class ScriptedStation {
public:
    explicit ScriptedStation(const Pty& pty) : pty_(pty) {}
    ~ScriptedStation();
    ScriptedStation(const ScriptedStation&) = delete;
    ScriptedStation& operator=(const ScriptedStation&) = delete;

    ScriptedStation& expect(Bytes b);
    ScriptedStation& reply(Bytes b);
    // Runs an action on the station thread at this point of the script.
    ScriptedStation& then(std::function<void()> action);
    // The same request expected `times` times, each answered with `answer` (none when empty).
    ScriptedStation& expectEach(const Bytes& request, int times, const Bytes& answer);

    void start();
    // Waits for the script to end; empty when every step went as written.
    std::string finish();

private:
    struct Step {
        enum class Kind { expect, reply, action } kind;
        Bytes bytes;
        std::function<void()> action;
    };
    void run();

    const Pty& pty_;
    std::vector<Step> steps_;
    std::thread thread_;
    std::string failure_;
};

} // namespace veltron::testing
