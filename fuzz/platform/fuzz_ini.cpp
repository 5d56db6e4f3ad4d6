// Input: the bytes of a profile file. Parses it, reads every key it names back through get and
// the number parsers, writes it out and parses it again (the two readings must agree), then
// sets a value as the state writer does and checks that it reads back after a round trip.
#include "fuzz_check.h"

#include "platform/ini.h"
#include "platform/text.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace veltron;
using veltron::fuzz::require;

namespace {

// Section and key names of the lines, as a reader would ask for them.
std::vector<std::pair<std::string, std::string>> namedKeys(std::string_view bytes) {
    std::vector<std::pair<std::string, std::string>> keys;
    std::string section;
    for (const auto& line : text::cp1251Lines(bytes)) {
        const std::string_view t = text::trim(line);
        if (!t.empty() && t.front() == '[') {
            const auto close = t.find(']');
            section = std::string(text::trim(t.substr(1, close == std::string_view::npos ? t.size() - 1 : close - 1)));
        } else if (!t.empty() && t.front() != ';' && t.find('=') != std::string_view::npos) {
            const std::string key(text::trim(t.substr(0, t.find('='))));
            if (!key.empty() && keys.size() < 64) {
                keys.emplace_back(section, key);
            }
        }
    }
    return keys;
}

void checkNumbers(const std::string& value) {
    if (const auto d = text::parseDouble(value)) {
        require(std::isfinite(*d));
    }
    if (const auto f = text::parseFloat(value)) {
        require(std::isfinite(*f));
    }
    (void)text::parseInt(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniFile ini = IniFile::fromBytes(bytes);
    const std::string written = ini.toBytes();
    const IniFile again = IniFile::fromBytes(written);
    require(again.toBytes() == written);

    const auto keys = namedKeys(bytes);
    for (const auto& [section, key] : keys) {
        const auto v = ini.get(section, key);
        require(v == again.get(section, key));
        if (v) {
            require(text::trim(*v) == *v);
            checkNumbers(*v);
        }
    }

    // A value set as the state writer sets it is the one read back, before and after saving.
    std::vector<std::pair<std::string, std::string>> targets = {{"NOWDATE", "YEAR"}, {"INFO", "SERIA"}};
    if (!keys.empty()) {
        targets.push_back(keys.front());
    }
    int n = 0;
    for (const auto& [section, key] : targets) {
        if (section.empty()) {
            continue; // a key before any section belongs to no section
        }
        const std::string value = std::to_string(1000 + n++);
        ini.set(section, key, value);
        require(ini.get(section, key) == value);
        require(IniFile::fromBytes(ini.toBytes()).get(section, key) == value);
    }
    return 0;
}
