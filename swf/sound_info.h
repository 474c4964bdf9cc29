#pragma once
// SOUNDINFO: how a sound is started, by StartSound, StartSound2 and DefineButtonSound. Each
// optional field is given or not, as its flag says.

#include <cstdint>
#include <optional>
#include <vector>

#include "swf/byte_reader.h"

namespace swf {

struct SoundEnvelopePoint {
    uint32_t position44 = 0;  // in samples at 44.1 kHz
    uint16_t leftLevel = 0, rightLevel = 0;  // 0 to 32768
};

struct SoundInfo {
    bool syncStop = false;        // stops the sound instead of starting it
    bool syncNoMultiple = false;  // not started when it is already playing
    std::optional<uint32_t> inPoint, outPoint;  // in samples at 44.1 kHz
    std::optional<uint16_t> loopCount;
    std::optional<std::vector<SoundEnvelopePoint>> envelope;
};

// False when the record runs past the reader's end.
bool ReadSoundInfo(ByteReader& r, SoundInfo& out);

}  // namespace swf
