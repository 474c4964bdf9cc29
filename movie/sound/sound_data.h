#pragma once
// The sounds a movie holds, as read from its tags: event sounds by character id, a
// timeline's stream with one block per frame, and the sounds a frame starts or stops.

#include <cstdint>
#include <string>
#include <vector>

#include "swf/sound_info.h"
#include "swf/sound_tags.h"

namespace movie {

// DefineSound: samples to decode when first played.
struct EventSound {
    swf::SoundFormat format;
    uint32_t sampleCount = 0;
    int16_t seekSamples = 0;  // MP3: samples to skip at the start
    std::vector<uint8_t> data;
};

// SoundStreamHead and the SoundStreamBlocks of the same timeline.
struct StreamSound {
    swf::SoundStreamHead head;
    struct Block {
        int16_t seekSamples = 0;  // MP3: samples of the block's first frame to skip
        std::vector<uint8_t> data;
    };
    std::vector<Block> blocks;
};

// StartSound and StartSound2.
struct SoundCommand {
    uint16_t soundId = 0;
    std::string className;  // StartSound2
    swf::SoundInfo info;
};

}  // namespace movie
