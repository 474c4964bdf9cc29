#include "swf/sound_info.h"

namespace swf {

bool ReadSoundInfo(ByteReader& r, SoundInfo& out) {
    out = SoundInfo();
    const uint8_t flags = r.u8();
    out.syncStop = (flags & 0x20) != 0;
    out.syncNoMultiple = (flags & 0x10) != 0;
    if (flags & 0x01) out.inPoint = r.u32();
    if (flags & 0x02) out.outPoint = r.u32();
    if (flags & 0x04) out.loopCount = r.u16();
    if (flags & 0x08) {
        const uint8_t count = r.u8();
        std::vector<SoundEnvelopePoint> points(count);
        for (SoundEnvelopePoint& p : points) {
            p.position44 = r.u32();
            p.leftLevel = r.u16();
            p.rightLevel = r.u16();
        }
        out.envelope = std::move(points);
    }
    return r.ok();
}

}  // namespace swf
