#include "hdlc/frame.h"

#include <array>

namespace veltron::hdlc {
namespace {

constexpr std::array<std::uint16_t, 256> makeFcsTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned v = b;
        for (int bit = 0; bit < 8; ++bit) {
            v = (v & 1U) != 0 ? (v >> 1) ^ 0x8408U : v >> 1;
        }
        table[b] = static_cast<std::uint16_t>(v);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kFcsTable = makeFcsTable();

inline std::uint16_t fcsStep(std::uint16_t fcs, std::uint8_t b) {
    return static_cast<std::uint16_t>((fcs >> 8) ^ kFcsTable[(fcs ^ b) & 0xFF]);
}

inline std::uint8_t* putEscaped(std::uint8_t* p, std::uint8_t b) {
    if (b == kFlag || b == kEscape) {
        *p++ = kEscape;
        *p++ = static_cast<std::uint8_t>(b ^ kEscapeXor);
    } else {
        *p++ = b;
    }
    return p;
}

// Opening flag, escaped fields, closing flag; fcsSent is the value put on the wire.
std::uint8_t* putBody(std::uint8_t* p, std::uint8_t address, std::uint8_t control, std::span<const std::uint8_t> data,
                      std::uint16_t fcsSent) {
    *p++ = kFlag;
    p = putEscaped(p, address);
    p = putEscaped(p, control);
    for (const std::uint8_t b : data) {
        p = putEscaped(p, b);
    }
    p = putEscaped(p, static_cast<std::uint8_t>(fcsSent & 0xFF));
    p = putEscaped(p, static_cast<std::uint8_t>(fcsSent >> 8));
    *p++ = kFlag;
    return p;
}

std::uint16_t frameFcs(std::uint8_t address, std::uint8_t control, std::span<const std::uint8_t> data) {
    std::uint16_t fcs = fcsStep(fcsStep(kFcsInit, address), control);
    return static_cast<std::uint16_t>(~fcs16(fcs, data));
}

} // namespace

std::uint16_t fcs16(std::uint16_t fcs, std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t b : bytes) {
        fcs = fcsStep(fcs, b);
    }
    return fcs;
}

std::size_t encodeRequest(std::span<std::uint8_t> out, std::uint8_t address, std::uint8_t control,
                          std::span<const std::uint8_t> data, bool networkPrefix) {
    std::uint8_t* const begin = out.data();
    std::uint8_t* p = begin;
    if (networkPrefix) {
        *p++ = kNetworkPrefix;
    }
    *p++ = kLeadIn;
    p = putBody(p, address, control, data, frameFcs(address, control, data));
    return static_cast<std::size_t>(p - begin);
}

std::vector<std::uint8_t> encodeRequest(std::uint8_t address, std::uint8_t control, std::span<const std::uint8_t> data,
                                        bool networkPrefix) {
    std::vector<std::uint8_t> out(maxFrameSize(data.size()));
    out.resize(encodeRequest(out, address, control, data, networkPrefix));
    return out;
}

std::vector<std::uint8_t> encodeAnswerWithFcs(std::uint8_t address, std::uint8_t control,
                                              std::span<const std::uint8_t> data, std::uint16_t fcsSent) {
    std::vector<std::uint8_t> out(maxFrameSize(data.size()));
    out.resize(static_cast<std::size_t>(putBody(out.data(), address, control, data, fcsSent) - out.data()));
    return out;
}

std::vector<std::uint8_t> encodeAnswer(std::uint8_t address, std::uint8_t control, std::span<const std::uint8_t> data) {
    return encodeAnswerWithFcs(address, control, data, frameFcs(address, control, data));
}

AnswerCheck checkAnswer(std::span<const std::uint8_t> stored, std::uint8_t address, std::uint8_t control,
                        AnswerMode mode) {
    const std::size_t n = stored.size();
    if (mode != AnswerMode::raw && !fcsGood(stored)) {
        return {kResultBadFcs, 0, 0};
    }
    if (n < 2 || stored[0] != address || (mode == AnswerMode::strict && stored[1] != control)) {
        return {kResultForeign, 0, 0};
    }
    // Kept bytes: strict drops address, control and FCS; relaxed keeps the control byte;
    // raw keeps control, data and the FCS bytes as received.
    std::size_t offset = 1;
    std::size_t dropped = 1;
    if (mode == AnswerMode::strict) {
        offset = 2;
        dropped = 4;
    } else if (mode == AnswerMode::relaxed) {
        dropped = 3;
    }
    if (n <= dropped) {
        return {kResultNoData, 0, 0};
    }
    return {kResultAnswer, offset, n - dropped};
}

FrameFields splitFrame(std::span<const std::uint8_t> stored) {
    FrameFields f;
    if (stored.size() < 4) {
        return f;
    }
    f.valid = fcsGood(stored);
    f.address = stored[0];
    f.control = stored[1];
    f.data = stored.subspan(2, stored.size() - 4);
    return f;
}

DecodeResult decodeFrame(std::span<const std::uint8_t> input, std::span<std::uint8_t> storage) {
    FrameReceiver rx(storage);
    DecodeResult r;
    while (!rx.full()) {
        if (r.consumed == input.size()) {
            r.end = DecodeResult::End::silent;
            r.stored = rx.size();
            return r;
        }
        if (rx.push(input[r.consumed++]) == FrameReceiver::Step::complete) {
            r.end = DecodeResult::End::complete;
            r.stored = rx.size();
            return r;
        }
    }
    r.end = DecodeResult::End::full;
    r.stored = rx.size();
    return r;
}

} // namespace veltron::hdlc
