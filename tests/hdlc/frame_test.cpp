// The frame codec as pure functions: wire bytes, escaping, FCS, the receive rules and the
// answer checks of the three modes.
#include "hdlc/frame.h"

#include <gtest/gtest.h>

#include <string>

#include "station.h"

namespace {

using namespace veltron::hdlc;
using veltron::testing::Bytes;
using veltron::testing::hex;
using veltron::testing::referenceFcs;

using veltron::testing::escaped;
using veltron::testing::withFcs;

TEST(FrameFcs, MatchesTheRfc1662CheckValueAndGoodResidue) {
    const std::string check = "123456789";
    const Bytes bytes(check.begin(), check.end());
    EXPECT_EQ(static_cast<std::uint16_t>(~fcs16(kFcsInit, bytes)), 0x906E); // CRC-16/X-25
    EXPECT_EQ(fcs16(kFcsInit, bytes), referenceFcs(bytes));
    EXPECT_TRUE(fcsGood(withFcs(bytes)));
    Bytes broken = withFcs(bytes);
    broken[3] ^= 0x01;
    EXPECT_FALSE(fcsGood(broken));
}

TEST(FrameEncode, RequestsOnTheWire) {
    struct Case {
        std::uint8_t address, control;
        Bytes data;
        bool network;
        Bytes wire;
    };
    const Case cases[] = {
        {0x37, 0x11, {}, false, {0xFF, 0x7E, 0x37, 0x11, 0xE5, 0xF5, 0x7E}},
        {0xF0, 0x1C, {0, 0, 0}, false, {0xFF, 0x7E, 0xF0, 0x1C, 0x00, 0x00, 0x00, 0x44, 0x04, 0x7E}},
        {0x37, 0x11, {}, true, {0x01, 0xFF, 0x7E, 0x37, 0x11, 0xE5, 0xF5, 0x7E}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hex(encodeRequest(c.address, c.control, c.data, c.network)), hex(c.wire));
    }
}

TEST(FrameEncode, EscapesAddressControlDataAndFcsButNotFlagsOrLeadIn) {
    // Address and control that need escaping, data with both special bytes.
    const Bytes body = {0x7E, 0x7D, 0x7E, 0x01, 0x7D, 0x5E};
    const Bytes wire = encodeRequest(0x7E, 0x7D, Bytes{0x7E, 0x01, 0x7D, 0x5E}, false);
    EXPECT_EQ(hex(wire), hex(veltron::testing::concat({{0xFF, 0x7E}, escaped(withFcs(body)), {0x7E}})));
    EXPECT_EQ(hex(Bytes(wire.begin() + 2, wire.begin() + 6)), "7D 5E 7D 5D");

    // One data byte whose FCS holds 0x7E or 0x7D in each position.
    bool lowSeen = false;
    bool highSeen = false;
    for (int d = 0; d < 256 * 256 && !(lowSeen && highSeen); ++d) {
        const Bytes data = {static_cast<std::uint8_t>(d & 0xFF), static_cast<std::uint8_t>(d >> 8)};
        const Bytes full = withFcs({0x37, 0x11, data[0], data[1]});
        const bool low = full[4] == 0x7E || full[4] == 0x7D;
        const bool high = full[5] == 0x7E || full[5] == 0x7D;
        if ((low && !lowSeen) || (high && !highSeen)) {
            lowSeen = lowSeen || low;
            highSeen = highSeen || high;
            EXPECT_EQ(hex(encodeRequest(0x37, 0x11, data, false)),
                      hex(veltron::testing::concat({{0xFF, 0x7E}, escaped(full), {0x7E}})));
        }
    }
    EXPECT_TRUE(lowSeen && highSeen);
}

TEST(FrameEncode, WorstCaseFitsTheFrameBuffer) {
    const Bytes data(kMaxData, 0x7E);
    std::vector<std::uint8_t> out(maxFrameSize(kMaxData));
    // Prefix, lead-in, flags and every byte but the FCS doubled: the FCS may double too.
    const std::size_t n = encodeRequest(out, 0x7D, 0x7E, data, true);
    EXPECT_GE(n, 4 + 2 * (kMaxData + 2) + 2);
    EXPECT_LE(n, maxFrameSize(kMaxData));
    EXPECT_EQ(maxFrameSize(kMaxData), 4 + 2 * (kMaxData + 4));
}

TEST(FrameReceive, FollowsTheReceiveRules) {
    using End = DecodeResult::End;
    const Bytes good = withFcs({0x37, 0x11, 0xAB});
    struct Case {
        const char* what;
        Bytes line;
        End end;
        Bytes stored;
    };
    const Case cases[] = {
        {"plain frame", veltron::testing::concat({{0x7E}, good, {0x7E}}), End::complete, good},
        {"noise and escape before the first flag are skipped",
         veltron::testing::concat({{0x00, 0x7D, 0x37, 0xFF, 0x7E}, good, {0x7E}}), End::complete, good},
        {"repeated opening flags", veltron::testing::concat({{0x7E, 0x7E, 0x7E}, good, {0x7E}}), End::complete, good},
        {"a flag after one stored byte neither ends nor restarts",
         {0x7E, 0x37, 0x7E, 0x11, 0xAB, 0x7E},
         End::complete,
         {0x37, 0x11, 0xAB}},
        {"escapes are undone", {0x7E, 0x7D, 0x5E, 0x7D, 0x5D, 0x7D, 0x20, 0x7E}, End::complete, {0x7E, 0x7D, 0x00}},
        {"an escape before a skipped flag stays pending",
         {0x7E, 0x37, 0x7D, 0x7E, 0x5E, 0x7E},
         End::complete,
         {0x37, 0x7E}},
        {"no closing flag", {0x7E, 0x37, 0x11, 0x22}, End::silent, {0x37, 0x11, 0x22}},
        {"only noise", {0x01, 0x02, 0x7D}, End::silent, {}},
        {"a request decodes as well", veltron::testing::concat({{0x01, 0xFF, 0x7E}, good, {0x7E}}), End::complete,
         good},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> storage(kMaxStored);
        const DecodeResult r = decodeFrame(c.line, storage);
        EXPECT_EQ(r.end, c.end) << c.what;
        EXPECT_EQ(hex(Bytes(storage.begin(), storage.begin() + static_cast<long>(r.stored))), hex(c.stored)) << c.what;
    }
}

TEST(FrameReceive, StopsAtFullStorageEvenBeforeAClosingFlag) {
    Bytes line = {0x7E};
    line.insert(line.end(), kMaxStored, 0x41);
    line.push_back(0x7E);
    std::vector<std::uint8_t> storage(kMaxStored);
    const DecodeResult r = decodeFrame(line, storage);
    EXPECT_EQ(r.end, DecodeResult::End::full);
    EXPECT_EQ(r.stored, kMaxStored);
    EXPECT_EQ(r.consumed, kMaxStored + 1); // the closing flag is never read

    // A receiver pushed past its storage never writes beyond it.
    std::vector<std::uint8_t> small(3);
    FrameReceiver rx(small);
    for (const std::uint8_t b : Bytes{0x7E, 1, 2, 3, 4, 5}) {
        rx.push(b);
    }
    EXPECT_EQ(rx.size(), 3U);
}

TEST(FrameAnswer, ChecksAndCutsPerMode) {
    const Bytes data = {0xA1, 0xA2};
    const Bytes good = withFcs({0x37, 0x11, 0xA1, 0xA2});
    Bytes badFcs = good;
    badFcs.back() ^= 0xFF;
    const Bytes otherControl = withFcs({0x37, 0x55, 0xA1, 0xA2});
    const Bytes otherAddress = withFcs({0x38, 0x11, 0xA1, 0xA2});
    const Bytes noData = withFcs({0x37, 0x11});
    const Bytes three = {0x37, 0x11, 0x00};
    const Bytes two = {0x37, 0x11};
    struct Case {
        const char* what;
        Bytes stored;
        AnswerMode mode;
        int result;
        Bytes kept;
    };
    const Case cases[] = {
        {"strict data", good, AnswerMode::strict, 1, data},
        {"strict bad FCS", badFcs, AnswerMode::strict, -3, {}},
        {"strict other control", otherControl, AnswerMode::strict, -1, {}},
        {"strict other address", otherAddress, AnswerMode::strict, -1, {}},
        {"strict four bytes", noData, AnswerMode::strict, 0, {}},
        {"relaxed control and data", otherControl, AnswerMode::relaxed, 1, {0x55, 0xA1, 0xA2}},
        {"relaxed bad FCS", badFcs, AnswerMode::relaxed, -3, {}},
        {"relaxed other address", otherAddress, AnswerMode::relaxed, -1, {}},
        {"relaxed four bytes keep the control", noData, AnswerMode::relaxed, 1, {0x11}},
        {"raw keeps control, data and FCS", badFcs, AnswerMode::raw, 1, Bytes(badFcs.begin() + 1, badFcs.end())},
        {"raw other address", otherAddress, AnswerMode::raw, -1, {}},
        {"raw three bytes", three, AnswerMode::raw, 1, {0x11, 0x00}},
        {"raw two bytes", two, AnswerMode::raw, 1, {0x11}},
    };
    for (const Case& c : cases) {
        const AnswerCheck a = checkAnswer(c.stored, 0x37, 0x11, c.mode);
        EXPECT_EQ(a.result, c.result) << c.what;
        const Bytes kept = a.result == 1 ? Bytes(c.stored.begin() + static_cast<long>(a.offset),
                                                 c.stored.begin() + static_cast<long>(a.offset + a.length))
                                         : Bytes{};
        EXPECT_EQ(hex(kept), hex(c.kept)) << c.what;
    }
}

TEST(FrameFields, SplitARequestAsAStationReadsIt) {
    const Bytes wire = encodeRequest(0xF0, 0x1C, Bytes{0x7E, 0x00, 0x7D}, true);
    std::vector<std::uint8_t> storage(kMaxStored);
    const DecodeResult r = decodeFrame(wire, storage);
    ASSERT_EQ(r.end, DecodeResult::End::complete);
    const FrameFields f = splitFrame({storage.data(), r.stored});
    EXPECT_TRUE(f.valid);
    EXPECT_EQ(f.address, 0xF0);
    EXPECT_EQ(f.control, 0x1C);
    EXPECT_EQ(hex(Bytes(f.data.begin(), f.data.end())), "7E 00 7D");

    storage[2] ^= 0x01;
    EXPECT_FALSE(splitFrame({storage.data(), r.stored}).valid);
    EXPECT_FALSE(splitFrame(Bytes{0xF0, 0x1C, 0x00}).valid);
}

TEST(FrameAnswer, EveryByteValueSurvivesTheRoundTrip) {
    Bytes data;
    for (int b = 0; b < 256; ++b) {
        data.push_back(static_cast<std::uint8_t>(b));
    }
    const Bytes wire = encodeAnswer(0x7D, 0x7E, data);
    std::vector<std::uint8_t> storage(kMaxStored);
    const DecodeResult r = decodeFrame(wire, storage);
    ASSERT_EQ(r.end, DecodeResult::End::complete);
    EXPECT_EQ(r.consumed, wire.size());
    const AnswerCheck a = checkAnswer({storage.data(), r.stored}, 0x7D, 0x7E, AnswerMode::strict);
    ASSERT_EQ(a.result, 1);
    EXPECT_EQ(hex(Bytes(storage.begin() + 2, storage.begin() + 2 + static_cast<long>(a.length))), hex(data));
}

} // namespace
