#include "support/avi_layout.h"

#include <fstream>

namespace testing_support {

const RiffChunk* RiffChunk::find(const std::string& name) const {
    for (const RiffChunk& c : children) {
        if (c.id == name || c.listType == name) return &c;
    }
    return nullptr;
}

size_t RiffChunk::count(const std::string& chunkId) const {
    size_t n = 0;
    for (const RiffChunk& c : children) n += c.id == chunkId ? 1 : 0;
    return n;
}

uint32_t Le32(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
}

uint64_t Le64(const std::string& b, size_t at) {
    return static_cast<uint64_t>(Le32(b, at)) | static_cast<uint64_t>(Le32(b, at + 4)) << 32;
}

std::string ReadRange(const std::string& path, uint64_t offset, size_t size) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::string bytes(size, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

namespace {

bool ReadChunks(std::ifstream& in, uint64_t begin, uint64_t end, int depth,
                std::vector<RiffChunk>& out, std::string& error) {
    uint64_t at = begin;
    while (at + 8 <= end) {
        in.seekg(static_cast<std::streamoff>(at));
        std::string head(12, '\0');
        in.read(head.data(), 12);
        if (in.gcount() < 8) {
            error = "truncated chunk header at " + std::to_string(at);
            return false;
        }
        in.clear();
        RiffChunk c;
        c.id = head.substr(0, 4);
        c.size = Le32(head, 4);
        c.offset = at;
        const uint64_t next = at + 8 + c.size + (c.size & 1);
        if (at + 8 + c.size > end) {
            error = "chunk " + c.id + " at " + std::to_string(at) + " runs past its parent";
            return false;
        }
        if ((c.id == "RIFF" || c.id == "LIST") && depth < 8) {
            c.listType = head.substr(8, 4);
            if (!ReadChunks(in, at + 12, at + 8 + c.size, depth + 1, c.children, error)) return false;
        }
        out.push_back(std::move(c));
        at = next;
    }
    return true;
}

}  // namespace

bool ReadRiffTree(const std::string& path, std::vector<RiffChunk>& top, std::string& error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    const uint64_t size = static_cast<uint64_t>(in.tellg());
    top.clear();
    return ReadChunks(in, 0, size, 0, top, error);
}

}  // namespace testing_support
