#include "movie/render/video_frames.h"

#include <algorithm>
#include <iterator>

namespace movie {

const image::Picture* VideoFrames::at(const Character& character, int frame) {
    const VideoDefinition& video = character.video();
    auto target = video.frames.upper_bound(static_cast<uint16_t>(std::clamp(frame, 0, 65535)));
    if (target == video.frames.begin()) return nullptr;  // the stream has no frame yet
    --target;
    State& s = states_[&character];
    if (s.decoded == target->first) return s.picture.pixels.empty() ? nullptr : &s.picture;
    if (s.decoded > target->first) {  // back: from the start again
        s.decoder.reset();
        s.decoded = -1;
    }
    std::string error;
    if (!s.decoder) {
        s.decoder = video::OpenDecoder(video.stream.codec, video.stream.deblocking, error);
        if (!s.decoder) {
            // Once for a build without video, else once a stream.
            const bool say = video::HasCodecLibrary() ? !s.warned : !noDecoderSaid_;
            if (say && log_) log_("a video does not play: " + error);
            s.warned = true;
            noDecoderSaid_ = noDecoderSaid_ || !video::HasCodecLibrary();
            return nullptr;
        }
    }
    auto it = s.decoded < 0 ? video.frames.begin() : video.frames.upper_bound(static_cast<uint16_t>(s.decoded));
    for (const auto end = std::next(target); it != end; ++it) {
        if (!s.decoder->decode(it->second.data(), it->second.size(), s.picture, error) && !s.warned) {
            if (log_) log_("a frame of video does not decode: " + error);
            s.warned = true;
        }
        s.decoded = it->first;
    }
    return s.picture.pixels.empty() ? nullptr : &s.picture;
}

}  // namespace movie
