#pragma once
// The sound tags as typed records: DefineSound (an event sound's samples), StartSound and
// StartSound2 (a frame starts or stops one), SoundStreamHead and SoundStreamHead2 (the
// format of a timeline's stream) and SoundStreamBlock (a frame's part of the stream).

#include <cstdint>
#include <string>

#include "swf/control_tags.h"
#include "swf/sound_info.h"
#include "swf/tags.h"

namespace swf {

// SoundFormat, as the tags number it.
namespace sound_format {
inline constexpr uint8_t kPcmNativeEndian = 0, kAdpcm = 1, kMp3 = 2, kPcmLittleEndian = 3, kNellymoser16k = 4,
                         kNellymoser8k = 5, kNellymoser = 6, kSpeex = 11;
}

// How samples are stored: the format, the rate code (0: 5.5 kHz, 1: 11 kHz, 2: 22 kHz,
// 3: 44 kHz), 16 bits or 8, stereo or mono.
struct SoundFormat {
    uint8_t format = 0;
    uint8_t rateCode = 0;
    bool sixteenBit = false;
    bool stereo = false;
    // Samples a second: the rate code's, except for the formats whose rate is their own
    // (Nellymoser at 16 and 8 kHz, Speex at 16 kHz).
    uint32_t sampleRate() const;
    uint8_t channels() const { return stereo ? 2 : 1; }
};

struct DefineSound {
    uint16_t id = 0;
    SoundFormat format;
    uint32_t sampleCount = 0;  // per channel
    // MP3 data starts with the samples to skip (SeekSamples); the frames follow.
    int16_t seekSamples = 0;
    Bytes data;  // the samples or frames, after SeekSamples for MP3
};

struct StartSound {
    uint16_t soundId = 0;
    std::string className;  // StartSound2: the sound by its class name instead
    SoundInfo info;
};

struct SoundStreamHead {
    SoundFormat playback;  // what the player is asked to mix at
    SoundFormat stream;    // what the blocks hold
    uint16_t samplesPerBlock = 0;  // per frame, on average
    int16_t latencySeek = 0;       // MP3: samples to skip at the start
};

// A frame's block of the stream: for MP3, how many samples it holds and how many to skip
// before the frame's own, then the MP3 frames.
struct SoundStreamBlock {
    uint16_t sampleCount = 0;
    int16_t seekSamples = 0;
    Bytes data;
};

// Each false when the tag is cut short.
bool ReadDefineSound(const Tag& tag, DefineSound& out);
bool ReadStartSound(const Tag& tag, StartSound& out);   // StartSound and StartSound2
bool ReadSoundStreamHead(const Tag& tag, SoundStreamHead& out);  // either version
// `mp3` says whether the stream's head gave MP3: then the block begins with its counts.
bool ReadSoundStreamBlock(const Tag& tag, bool mp3, SoundStreamBlock& out);

}  // namespace swf
