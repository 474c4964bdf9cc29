#include "swf/video_tags.h"

namespace swf {

bool ReadDefineVideoStream(const Tag& tag, DefineVideoStream& out) {
    out = DefineVideoStream();
    ByteReader r = tag.reader();
    out.id = r.u16();
    out.frameCount = r.u16();
    out.width = r.u16();
    out.height = r.u16();
    r.ubits(4);  // reserved
    out.deblocking = static_cast<uint8_t>(r.ubits(3));
    out.smoothing = r.flag();
    r.align();
    out.codec = r.u8();
    return r.ok();
}

bool ReadVideoFrame(const Tag& tag, VideoFrame& out) {
    out = VideoFrame();
    ByteReader r = tag.reader();
    out.streamId = r.u16();
    out.frame = r.u16();
    if (!r.ok()) return false;
    out.data = Bytes{r.current(), r.remaining()};
    return true;
}

}  // namespace swf
