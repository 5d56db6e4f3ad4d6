#include "platform/files.h"

#include "platform/text.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace veltron::files {
namespace {

[[noreturn]] void fail(const std::filesystem::path& path, const char* what, int err) {
    throw std::system_error(err, std::generic_category(), std::string(what) + " " + path.string());
}

void writeAll(int fd, std::string_view bytes, const std::filesystem::path& path) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int err = errno;
            ::close(fd);
            fail(path, "cannot write", err);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

} // namespace

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) {
        return std::nullopt;
    }
    return std::move(ss).str();
}

void writeFileAtomic(const std::filesystem::path& path, std::string_view bytes) {
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string tmpl = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        fail(path, "cannot create a temporary file for", errno);
    }
    const std::filesystem::path tmp = tmpl;
    try {
        writeAll(fd, bytes, tmp);
    } catch (...) {
        ::unlink(tmp.c_str());
        throw;
    }
    // mkstemp creates 0600; a state file is an ordinary file of the installation.
    ::fchmod(fd, 0644);
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(tmp.c_str());
        fail(path, "cannot flush", err);
    }
    ::close(fd);
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        fail(path, "cannot replace", err);
    }
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

void removeStaleTemporaries(const std::filesystem::path& path) {
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    const std::string prefix = "." + path.filename().string() + ".";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        // mkstemp's suffix is six characters.
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
            std::filesystem::remove(entry.path(), ec);
        }
    }
}

void appendToFile(const std::filesystem::path& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail(path, "cannot open", errno);
    }
    writeAll(fd, bytes, path);
    if (::close(fd) != 0) {
        fail(path, "cannot close", errno);
    }
}

std::filesystem::path resolve(const std::filesystem::path& base, std::string_view windowsName) {
    std::filesystem::path result = base;
    bool existing = true;
    std::size_t start = 0;
    while (start <= windowsName.size()) {
        std::size_t end = windowsName.find_first_of("\\/", start);
        if (end == std::string_view::npos) {
            end = windowsName.size();
        }
        const std::string part(windowsName.substr(start, end - start));
        start = end + 1;
        if (part.empty() || part == ".") {
            if (end == windowsName.size()) {
                break;
            }
            continue;
        }
        std::filesystem::path next = result / part;
        std::error_code ec;
        if (existing && part != ".." && !std::filesystem::exists(next, ec)) {
            existing = false;
            const std::string folded = text::foldCase(part);
            for (const auto& entry : std::filesystem::directory_iterator(result, ec)) {
                if (text::foldCase(entry.path().filename().string()) == folded) {
                    next = entry.path();
                    existing = true;
                    break;
                }
            }
        }
        result = next;
        if (end == windowsName.size()) {
            break;
        }
    }
    return result;
}

} // namespace veltron::files
