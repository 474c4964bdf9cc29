#include "avi/file_sink.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace avi {

namespace {

class StdioFileSink final : public FileSink {
public:
    explicit StdioFileSink(FILE* file) : file_(file) {}
    ~StdioFileSink() override { close(); }

    bool write(const void* data, size_t size) override {
        return file_ != nullptr && std::fwrite(data, 1, size, file_) == size;
    }

    bool seek(uint64_t position) override {
        if (file_ == nullptr) return false;
#ifdef _WIN32
        return _fseeki64(file_, static_cast<int64_t>(position), SEEK_SET) == 0;
#else
        return fseeko(file_, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
    }

    bool truncate(uint64_t size) override {
        if (file_ == nullptr || std::fflush(file_) != 0) return false;
#ifdef _WIN32
        return _chsize_s(_fileno(file_), static_cast<int64_t>(size)) == 0;
#else
        return ftruncate(fileno(file_), static_cast<off_t>(size)) == 0;
#endif
    }

    bool close() override {
        if (file_ == nullptr) return true;
        const bool ok = std::fclose(file_) == 0;
        file_ = nullptr;
        return ok;
    }

private:
    FILE* file_;
};

}  // namespace

std::unique_ptr<FileSink> CreateFileSink(const char* path) {
    if (path == nullptr || *path == '\0') return nullptr;
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return nullptr;
    // Frames are written in one piece each; a large buffer only helps the small chunks.
    std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
    return std::make_unique<StdioFileSink>(file);
}

}  // namespace avi
