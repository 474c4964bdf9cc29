#pragma once
// A seekable output file with 64-bit positions. The RIFF writer writes through this seam,
// so tests can put a failing disk under it.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace avi {

class FileSink {
public:
    virtual ~FileSink() = default;
    // Writes all of `data` at the current position; false if any of it could not be.
    virtual bool write(const void* data, size_t size) = 0;
    virtual bool seek(uint64_t position) = 0;
    // Cuts the file to `size` bytes (after a failed write left a partial chunk).
    virtual bool truncate(uint64_t size) = 0;
    // Flushes and closes; false if buffered data could not be written.
    virtual bool close() = 0;
};

// Creates or truncates a file. Null when it can't be created.
std::unique_ptr<FileSink> CreateFileSink(const char* path);

}  // namespace avi
