#include "platform/ini.h"

#include "platform/files.h"
#include "platform/text.h"

namespace veltron {
namespace {
constexpr std::size_t npos = static_cast<std::size_t>(-1);
}

IniFile::Line IniFile::parseLine(std::string textLine) {
    Line line;
    const std::string_view t = text::trim(textLine);
    if (!t.empty() && t.front() == '[') {
        const auto close = t.find(']');
        const std::string_view name = t.substr(1, close == std::string_view::npos ? t.size() - 1 : close - 1);
        line.isSection = true;
        line.section = text::foldCase(text::trim(name));
    } else if (!t.empty() && t.front() != ';') {
        const auto eq = t.find('=');
        if (eq != std::string_view::npos) {
            line.key = text::foldCase(text::trim(t.substr(0, eq)));
        }
    }
    line.text = std::move(textLine);
    return line;
}

IniFile IniFile::fromBytes(std::string_view bytes) {
    IniFile ini;
    for (auto& l : text::cp1251Lines(bytes)) {
        ini.lines_.push_back(parseLine(std::move(l)));
    }
    return ini;
}

IniFile IniFile::load(const std::filesystem::path& path) {
    const auto bytes = files::readFile(path);
    return bytes ? fromBytes(*bytes) : IniFile{};
}

std::size_t IniFile::findSection(const std::string& folded) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].isSection && lines_[i].section == folded) {
            return i;
        }
    }
    return npos;
}

std::optional<std::string> IniFile::get(std::string_view section, std::string_view key) const {
    const std::size_t s = findSection(text::foldCase(section));
    if (s == npos) {
        return std::nullopt;
    }
    const std::string k = text::foldCase(key);
    for (std::size_t i = s + 1; i < lines_.size() && !lines_[i].isSection; ++i) {
        if (!lines_[i].key.empty() && lines_[i].key == k) {
            const std::string_view t = text::trim(lines_[i].text);
            return std::string(text::trim(t.substr(t.find('=') + 1)));
        }
    }
    return std::nullopt;
}

void IniFile::set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sFold = text::foldCase(section);
    const std::string kFold = text::foldCase(key);
    std::size_t s = findSection(sFold);
    if (s == npos) {
        lines_.push_back(parseLine("[" + std::string(section) + "]"));
        lines_.push_back(parseLine(std::string(key) + "=" + std::string(value)));
        return;
    }
    std::size_t lastEntry = s;
    for (std::size_t i = s + 1; i < lines_.size() && !lines_[i].isSection; ++i) {
        if (lines_[i].key == kFold) {
            // Keep the key as it was spelled in the file.
            const std::string_view t = text::trim(lines_[i].text);
            const std::string spelled(text::trim(t.substr(0, t.find('='))));
            lines_[i] = parseLine(spelled + "=" + std::string(value));
            return;
        }
        if (!text::trim(lines_[i].text).empty()) {
            lastEntry = i;
        }
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastEntry + 1),
                  parseLine(std::string(key) + "=" + std::string(value)));
}

std::string IniFile::toBytes() const {
    std::vector<std::string> out;
    out.reserve(lines_.size());
    for (const auto& l : lines_) {
        out.push_back(l.text);
    }
    return text::cp1251Text(out);
}

void IniFile::save(const std::filesystem::path& path) const {
    files::writeFileAtomic(path, toBytes());
}

} // namespace veltron
