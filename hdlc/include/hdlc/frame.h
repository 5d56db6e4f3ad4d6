// Frames of the rig's serial links: asynchronous HDLC framing as used by PPP (RFC 1662),
// flag 0x7E, control escape 0x7D with XOR 0x20, and the 16-bit FCS of RFC 1662.
//
// Pure functions over bytes, with no port behind them: libhdlc.so sends and receives with
// them, the tests check wire bytes with them, the fuzz target drives the receiver, and the rig
// simulator decodes requests and encodes answers with the same code.
//
// On the wire:
//   request: [0x01, only for network ports 240..255] 0xFF 0x7E addr ctl data.. fcsLo fcsHi 0x7E
//   answer:                                               0x7E addr ctl data.. fcsLo fcsHi 0x7E
// Address, control, data and FCS bytes equal to 0x7E or 0x7D go as 0x7D, byte ^ 0x20. The FCS
// runs over the unescaped address, control and data bytes; the ones' complement is sent, low
// byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace veltron::hdlc {

inline constexpr std::uint8_t kFlag = 0x7E;
inline constexpr std::uint8_t kEscape = 0x7D;
inline constexpr std::uint8_t kEscapeXor = 0x20;
inline constexpr std::uint8_t kLeadIn = 0xFF;        // first byte of every request
inline constexpr std::uint8_t kNetworkPrefix = 0x01; // before the lead-in on ports 240..255
inline constexpr std::uint8_t kBroadcast = 0xFF;     // station address that never answers

inline constexpr std::uint16_t kFcsInit = 0xFFFF;
inline constexpr std::uint16_t kFcsGood = 0xF0B8; // residue over data plus the FCS sent

inline constexpr std::size_t kMaxData = 9990;    // data bytes of one request
inline constexpr std::size_t kMaxStored = 10000; // unescaped bytes of one received frame

// Room an encoded request needs in the worst case (every escapable byte doubled, network
// prefix included).
constexpr std::size_t maxFrameSize(std::size_t dataLength) {
    return 2 * (dataLength + 4) + 4;
}

// FCS-16 of RFC 1662 (reflected polynomial 0x8408), continued from fcs over bytes.
std::uint16_t fcs16(std::uint16_t fcs, std::span<const std::uint8_t> bytes);
// True when the bytes end in the FCS of the bytes before it (residue 0xF0B8).
inline bool fcsGood(std::span<const std::uint8_t> frame) {
    return fcs16(kFcsInit, frame) == kFcsGood;
}

// Writes a request frame into out, which must hold maxFrameSize(data.size()) bytes; returns
// the number of bytes written.
std::size_t encodeRequest(std::span<std::uint8_t> out, std::uint8_t address, std::uint8_t control,
                          std::span<const std::uint8_t> data, bool networkPrefix);
std::vector<std::uint8_t> encodeRequest(std::uint8_t address, std::uint8_t control, std::span<const std::uint8_t> data,
                                        bool networkPrefix = false);
// An answer frame: the request's layout from the opening flag on.
std::vector<std::uint8_t> encodeAnswer(std::uint8_t address, std::uint8_t control, std::span<const std::uint8_t> data);
// The same with an explicit FCS value sent (after complementing), for peers that must send a
// broken frame on purpose.
std::vector<std::uint8_t> encodeAnswerWithFcs(std::uint8_t address, std::uint8_t control,
                                              std::span<const std::uint8_t> data, std::uint16_t fcsSent);

// The receive rules, one byte at a time, into caller-owned storage:
//  - bytes before the first 0x7E are skipped; that 0x7E opens the frame and stores nothing;
//  - 0x7E with at least two bytes stored ends the frame; with fewer it is skipped (it neither
//    opens a new frame nor ends this one);
//  - 0x7D inside the frame makes the next stored byte XOR 0x20;
//  - every other byte inside the frame is stored.
// Receiving stops when the storage is full, whether or not a closing flag came.
class FrameReceiver {
public:
    enum class Step {
        skipped,  // byte not stored (noise, flag, escape)
        stored,   // byte stored (unescaped): see last()
        complete, // closing flag: the frame is in bytes()
    };

    explicit FrameReceiver(std::span<std::uint8_t> storage) : storage_(storage) {}

    void reset() {
        size_ = 0;
        started_ = false;
        escape_ = false;
    }

    Step push(std::uint8_t b) {
        if (b == kFlag) {
            if (started_ && size_ >= 2) {
                return Step::complete;
            }
            started_ = true;
            return Step::skipped;
        }
        if (!started_) {
            return Step::skipped;
        }
        if (b == kEscape) {
            escape_ = true;
            return Step::skipped;
        }
        if (size_ >= storage_.size()) {
            return Step::skipped; // the caller stops at full(); never write past the storage
        }
        if (escape_) {
            b ^= kEscapeXor;
            escape_ = false;
        }
        storage_[size_++] = b;
        return Step::stored;
    }

    bool full() const { return size_ >= storage_.size(); }
    bool started() const { return started_; }
    std::size_t size() const { return size_; }
    std::uint8_t last() const { return storage_[size_ - 1]; }
    std::span<const std::uint8_t> bytes() const { return storage_.first(size_); }

private:
    std::span<std::uint8_t> storage_;
    std::size_t size_ = 0;
    bool started_ = false;
    bool escape_ = false;
};

// How an answer is checked and cut.
enum class AnswerMode : int {
    strict = 0,  // FCS, address and control must match; data only is kept
    relaxed = 1, // FCS and address must match; control and data are kept
    raw = 2,     // address must match; control, data and both FCS bytes are kept
};

// Exchange results shared by the library and its callers.
inline constexpr int kResultAnswer = 1;     // answer with data
inline constexpr int kResultNoData = 0;     // answer without data, broadcast, or nothing sent
inline constexpr int kResultOverflow = 2;   // storage full without a closing flag
inline constexpr int kResultForeign = -1;   // other address (or control in strict mode)
inline constexpr int kResultTimeout = -2;   // no byte within the read time-out
inline constexpr int kResultBadFcs = -3;    // FCS check failed
inline constexpr int kResultBadLength = -5; // refused: data length
inline constexpr int kResultBadPort = -6;   // refused: port

struct AnswerCheck {
    int result = kResultNoData; // 1, 0, -1 or -3
    std::size_t offset = 0;     // kept bytes within the stored frame (result 1 only)
    std::size_t length = 0;
    bool retry() const { return result < 0; }
};

// Checks a received frame (stored bytes, address first) against the request it answers and
// says which bytes to keep.
AnswerCheck checkAnswer(std::span<const std::uint8_t> stored, std::uint8_t address, std::uint8_t control,
                        AnswerMode mode);

// The fields of a received frame (address, control, data, FCS), as a station reads a request.
struct FrameFields {
    bool valid = false; // at least address, control and FCS, and the FCS checks
    std::uint8_t address = 0;
    std::uint8_t control = 0;
    std::span<const std::uint8_t> data; // into the stored bytes
};
FrameFields splitFrame(std::span<const std::uint8_t> stored);

// The receiver run over a whole buffer, as it would run over a line that delivers exactly these
// bytes and then falls silent.
struct DecodeResult {
    enum class End { complete, silent, full } end = End::silent;
    std::size_t consumed = 0; // input bytes read
    std::size_t stored = 0;   // bytes in the storage
};
DecodeResult decodeFrame(std::span<const std::uint8_t> input, std::span<std::uint8_t> storage);

} // namespace veltron::hdlc
