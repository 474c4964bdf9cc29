#include "video/flv.h"

namespace video {

namespace {

uint32_t Be24(const uint8_t* p) { return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]; }
uint32_t Be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | Be24(p + 1); }

constexpr uint8_t kAudioTag = 8, kVideoTag = 9;
constexpr uint8_t kVp6 = 4, kVp6Alpha = 5;

}  // namespace

bool ReadFlv(const std::string& file, std::vector<FlvPacket>& packets, std::string& error) {
    packets.clear();
    const auto* b = reinterpret_cast<const uint8_t*>(file.data());
    const size_t size = file.size();
    if (size < 9 || b[0] != 'F' || b[1] != 'L' || b[2] != 'V') {
        error = "not an FLV file";
        return false;
    }
    size_t at = Be32(b + 5);  // the header's own length
    if (at < 9 || at > size) {
        error = "the FLV header is damaged";
        return false;
    }
    at += 4;  // PreviousTagSize0
    while (at + 11 <= size && packets.size() < kMaxFlvPackets) {
        const uint8_t type = b[at] & 0x1F;
        const size_t length = Be24(b + at + 1);
        const uint32_t time = Be24(b + at + 4) | uint32_t{b[at + 7]} << 24;
        const size_t body = at + 11;
        if (length > size - body) break;  // cut short: what came before stays
        if ((type == kAudioTag || type == kVideoTag) && length >= 1) {
            FlvPacket p;
            p.video = type == kVideoTag;
            p.timeMs = time;
            const uint8_t head = b[body];
            size_t skip = 1;
            if (p.video) {
                p.format = head & 0x0F;
                p.keyFrame = (head >> 4) == 1;
                if (p.format == kVp6 || p.format == kVp6Alpha) skip = 2;  // and the crop byte
            } else {
                p.format = head;
            }
            if (length > skip) {
                p.data.assign(b + body + skip, b + body + length);
                packets.push_back(std::move(p));
            }
        }
        at = body + length + 4;
    }
    return true;
}

}  // namespace video
