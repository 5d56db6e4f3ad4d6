// Input: address, control, then the bytes a line delivers. Runs the receiver over them as the
// library does, checks the answer in every mode, and encodes the line bytes as an answer's data
// to see them come back unchanged. Any broken invariant traps.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "hdlc/frame.h"

using namespace veltron::hdlc;

namespace {

void require(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

void receiveAndCheck(std::span<const std::uint8_t> line, std::size_t capacity, std::uint8_t address,
                     std::uint8_t control) {
    std::vector<std::uint8_t> storage(capacity);
    const DecodeResult r = decodeFrame(line, storage);
    require(r.consumed <= line.size() && r.stored <= capacity);
    require(r.end != DecodeResult::End::full || r.stored == capacity);
    require(r.end != DecodeResult::End::complete || (r.stored >= 2 && line[r.consumed - 1] == kFlag));
    if (r.end != DecodeResult::End::complete) {
        return;
    }
    const std::span<const std::uint8_t> stored(storage.data(), r.stored);
    for (const AnswerMode mode : {AnswerMode::strict, AnswerMode::relaxed, AnswerMode::raw}) {
        const AnswerCheck a = checkAnswer(stored, address, control, mode);
        require(a.result == 1 || a.result == 0 || a.result == -1 || a.result == -3);
        if (a.result == 1) {
            require(a.length > 0 && a.offset + a.length <= stored.size());
            require(stored[0] == address);
        }
        if (a.result == -3) {
            require(mode != AnswerMode::raw && !fcsGood(stored));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint8_t address = data[0];
    const std::uint8_t control = data[1];
    const std::span<const std::uint8_t> line(data + 2, size - 2);

    receiveAndCheck(line, kMaxStored, address, control);
    receiveAndCheck(line, 1 + address % 16, address, control); // small storage: the full path

    // The line bytes as an answer's data travel through encoder and receiver unchanged.
    if (line.size() <= kMaxStored - 4) {
        const std::vector<std::uint8_t> wire = encodeAnswer(address, control, line);
        std::vector<std::uint8_t> storage(kMaxStored);
        const DecodeResult r = decodeFrame(wire, storage);
        require(r.end == DecodeResult::End::complete && r.consumed == wire.size());
        const AnswerCheck a = checkAnswer({storage.data(), r.stored}, address, control, AnswerMode::strict);
        require(line.empty() ? a.result == 0 : a.result == 1);
        require(a.length == line.size());
        require(line.empty() || std::memcmp(storage.data() + a.offset, line.data(), line.size()) == 0);
    }
    return 0;
}
