#include "drivers/link.h"

#include "hdlc/hdlc.h"

#include <vector>

namespace veltron::drivers {

bool HdlcLink::initComPort(int port, int baud) {
    return hdlcInitComPort(port, baud);
}

void HdlcLink::setup(int readTimeout, int tries, int retryPause, int answerMode) {
    hdlcSetup(readTimeout, tries, retryPause, answerMode);
    if (answerMode >= 0 && answerMode <= 2) {
        answerMode_ = answerMode; // the library keeps its mode for a value outside 0..2
    }
}

bool HdlcLink::setSpeed(int port, int baud) {
    return hdlcSetSpeed(port, baud);
}

int HdlcLink::exchange(int port, int address, int command, std::span<const std::uint8_t> payload) {
    // A fresh array, as the library's contract expects caller-owned data for the call only.
    std::vector<std::uint8_t> data(payload.begin(), payload.end());
    const std::uint8_t* answer = last_.data;
    std::int32_t length = last_.length;
    const int result = _hdlcSendDataDll(port, address, command, data.empty() ? nullptr : data.data(),
                                        static_cast<std::int32_t>(data.size()), &answer, &length);
    ++exchanges_;
    last_.data = answer;
    last_.length = length;
    last_.result = result;
    last_.checkBytes = answerMode_ == 2 ? 2 : 0;
    return result;
}

void HdlcLink::clearAnswerBytes(int from, int count) {
    // The buffer belongs to the library; the original program wrote into it the same way.
    auto* bytes = const_cast<std::uint8_t*>(last_.data);
    for (int i = from; bytes != nullptr && i < from + count && i < 10000; ++i) {
        bytes[i] = 0;
    }
}

} // namespace veltron::drivers
