// File access of the platform layer: whole-file reads, atomic replacement of state files,
// appends that never truncate, and the resolution of Windows-style relative names.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace veltron::files {

// The whole content, or nothing when the file does not exist or cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& path);

// Replaces the file so that a crash or power loss at any moment leaves either the old or the
// new content: the bytes go to a temporary file in the same folder, are flushed to disk, and
// the temporary file is renamed over the target; the folder is flushed last.
// Throws std::system_error naming the file when any step fails (the old file is then intact).
void writeFileAtomic(const std::filesystem::path& path, std::string_view bytes);

// Removes temporaries that an interrupted writeFileAtomic of this file left in its folder.
void removeStaleTemporaries(const std::filesystem::path& path);

// Appends to the file, creating it when missing; never truncates. Throws std::system_error.
void appendToFile(const std::filesystem::path& path, std::string_view bytes);

// Resolves a relative name written with backslashes ("Temp\S0.bmp", "TEMP\0.msk") under
// base. Each component is matched against the existing entries without regard to case, so
// "Temp" and "TEMP" are one folder; components that do not exist are kept as written.
std::filesystem::path resolve(const std::filesystem::path& base, std::string_view windowsName);

} // namespace veltron::files
