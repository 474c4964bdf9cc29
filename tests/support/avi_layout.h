#pragma once
// A small RIFF walker for tests: the chunk tree of an AVI file, read from disk, so tests
// can check the structure (segments, indexes, sizes) that ffprobe does not report.

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct RiffChunk {
    std::string id;        // fourcc: "RIFF", "LIST", "avih", "00db", ...
    std::string listType;  // for RIFF and LIST: "AVI ", "AVIX", "hdrl", "movi", ...
    uint64_t offset = 0;   // of the fourcc
    uint32_t size = 0;     // the size field
    std::vector<RiffChunk> children;

    const RiffChunk* find(const std::string& idOrList) const;  // first child by id or list type
    size_t count(const std::string& id) const;
};

// Reads the top-level chunks of a file and every list inside them. Fails (with a reason)
// when a size runs past its parent or the file.
bool ReadRiffTree(const std::string& path, std::vector<RiffChunk>& top, std::string& error);

// Reads `size` bytes at `offset`.
std::string ReadRange(const std::string& path, uint64_t offset, size_t size);
uint32_t Le32(const std::string& bytes, size_t at);
uint64_t Le64(const std::string& bytes, size_t at);

}  // namespace testing_support
