#pragma once
// The pictures of the videos on display: each video decoded as far as the frame it shows
// and kept between draws. Going forward decodes the frames between; going back starts the
// stream again from its first frame, since later frames build on the ones before.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "image/lossless.h"
#include "movie/definition.h"
#include "video/decoder.h"

namespace movie {

class VideoFrames {
public:
    void setLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }
    // The picture of the video character at `frame`: the stream's last frame at or before
    // it. Null when there is none or nothing decodes.
    const image::Picture* at(const Character& video, int frame);
    void clear() { states_.clear(); }

private:
    struct State {
        std::unique_ptr<video::Decoder> decoder;
        int decoded = -1;  // the frame `picture` shows
        image::Picture picture;
        bool warned = false;
    };
    std::map<const Character*, State> states_;
    std::function<void(const std::string&)> log_;
    bool noDecoderSaid_ = false;
};

}  // namespace movie
