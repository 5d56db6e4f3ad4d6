// Windows profile (INI) files: "[section]" lines open sections, "key=value" lines give
// values. Section and key names match without regard to case (Cyrillic letters too); a
// value is the rest of the line after "=" with surrounding blanks removed; the first
// occurrence of a section and of a key in it wins. Files are CP1251 with CR LF lines; the
// text is held as UTF-8.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltron {

class IniFile {
public:
    IniFile() = default;
    // Parses CP1251 file content.
    static IniFile fromBytes(std::string_view bytes);
    // A missing or unreadable file gives an empty profile.
    static IniFile load(const std::filesystem::path& path);

    // The trimmed value, or nothing when the section or key is missing.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;

    // Sets a value; an existing key keeps its place and spelling, a new key goes after the
    // last entry of its section, a missing section is appended at the end.
    void set(std::string_view section, std::string_view key, std::string_view value);

    // The whole profile as CP1251 bytes, with every line of the original kept in order.
    std::string toBytes() const;
    // Atomic replacement of the file (see files::writeFileAtomic); throws on failure.
    void save(const std::filesystem::path& path) const;

private:
    struct Line {
        std::string text;    // the line as read or written (UTF-8)
        std::string section; // folded name, for section lines
        std::string key;     // folded name, for key lines
        bool isSection = false;
    };
    static Line parseLine(std::string text);
    // Index of the first section line with this folded name, or npos.
    std::size_t findSection(const std::string& folded) const;

    std::vector<Line> lines_;
};

} // namespace veltron
