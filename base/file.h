#pragma once
// Files read whole under a cap: the cap is checked against the file's size before anything is
// allocated, and again while reading (a file may grow, or its size not be told).

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace base {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

inline File OpenFile(const char* path, const char* mode) { return File(path != nullptr ? std::fopen(path, mode) : nullptr); }

// The size of an open file in bytes, or -1 when it can't be told; the file is left at its start.
inline int64_t FileSize(FILE* f) {
#ifdef _WIN32
    if (_fseeki64(f, 0, SEEK_END) != 0) return -1;
    const int64_t size = _ftelli64(f);
    if (_fseeki64(f, 0, SEEK_SET) != 0) return -1;
#else
    if (fseeko(f, 0, SEEK_END) != 0) return -1;
    const int64_t size = ftello(f);
    if (fseeko(f, 0, SEEK_SET) != 0) return -1;
#endif
    return size;
}

enum class FileRead { kOk, kCannotOpen, kTooLarge, kFailed };

// The whole file into `out`, at most `cap` bytes.
inline FileRead ReadWholeFile(const char* path, size_t cap, std::vector<uint8_t>& out) {
    out.clear();
    errno = 0;
    std::error_code ec;
    if (path != nullptr && std::filesystem::is_directory(path, ec)) {
        errno = EISDIR;
        return FileRead::kCannotOpen;
    }
    const File f = OpenFile(path, "rb");
    if (!f) return FileRead::kCannotOpen;
    const int64_t size = FileSize(f.get());
    if (size > static_cast<int64_t>(cap)) return FileRead::kTooLarge;
    if (size > 0) out.reserve(static_cast<size_t>(size));
    uint8_t buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) {
        if (out.size() + got > cap) return FileRead::kTooLarge;
        out.insert(out.end(), buffer, buffer + got);
    }
    return std::ferror(f.get()) ? FileRead::kFailed : FileRead::kOk;
}

// Why a file that could not be opened or read is out of reach, in the system's words ("No
// such file or directory", "Permission denied"), or that it is a folder. Call it straight after
// the failure: it reads errno.
inline std::string ReadProblem(const char* path) {
    const int e = errno;
    std::error_code ec;
    if (path != nullptr && std::filesystem::is_directory(path, ec)) return "it is a folder";
    return e != 0 ? std::strerror(e) : "it cannot be read";
}

}  // namespace base
