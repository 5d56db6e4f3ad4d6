// A private temporary folder for fuzz targets whose parser reads from a file: created on the
// first use, removed when the process ends normally (a crashing input leaves it behind, next
// to the reproducer libFuzzer writes).
#pragma once

#include "fuzz_check.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace veltron::fuzz {

class ScratchDir {
public:
    ScratchDir() {
        std::string t = (std::filesystem::temp_directory_path() / "veltron-fuzz-XXXXXX").string();
        if (::mkdtemp(t.data()) == nullptr) {
            std::abort();
        }
        path_ = t;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes bytes to a file under the folder (creating its parent folders) and returns its path.
    std::filesystem::path write(const std::filesystem::path& relative, const std::uint8_t* data,
                                std::size_t size) const {
        const std::filesystem::path file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) {
            std::abort();
        }
        return file;
    }

private:
    std::filesystem::path path_;
};

} // namespace veltron::fuzz
