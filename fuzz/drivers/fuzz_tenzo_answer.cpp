// Input: address, command, then the bytes the load cell's line delivers. Decodes them as an
// answer to that request and checks the result codes and the data bound; decodes the weight
// of any data; and sends the line bytes as an answer's data through encoder and decoder,
// where they must come back unchanged.
#include "fuzz_check.h"

#include "drivers/tenzo.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

using namespace veltron::drivers;
using veltron::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint8_t address = data[0];
    const std::uint8_t command = data[1];
    const std::span<const std::uint8_t> line(data + 2, size - 2);

    const TenzoAnswer a = decodeTenzoAnswer(line, address, command);
    require(a.result == 1 || a.result == 0 || a.result == 2 || a.result == -1 || a.result == -2 || a.result == -3 ||
            a.result == -5);
    require(a.result == 1 ? !a.data.empty() && a.data.size() <= kTenzoMaxData : a.data.empty());

    if (const auto w = decodeWeight(line)) {
        require(w->text.size() == 6 && w->text.find_first_not_of("0123456789") == std::string::npos);
        require(w->value == std::stoi(w->text));
    }

    if (address != 0xFF && !line.empty() && line.size() <= kTenzoMaxData / 2) {
        const std::vector<std::uint8_t> wire = encodeTenzoFrame(address, command, line);
        const TenzoAnswer back = decodeTenzoAnswer(wire, address, command);
        require(back.result == 1);
        require(back.data == std::vector<std::uint8_t>(line.begin(), line.end()));
    }
    return 0;
}
