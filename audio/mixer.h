#pragma once
// The mixer: the voices that play, summed into 44.1 kHz stereo 16-bit samples.
//
// Every voice plays a decoded sound from a start position, between its in and out points,
// as many times as it loops, shaped by its envelope and by the gain of its owner (the
// Sound objects' volume and pan) and the mixer's own. Sounds at other rates are resampled by
// linear interpolation in fixed point: the mix is the same on every machine.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "audio/pcm.h"
#include "swf/sound_info.h"

namespace audio {

// At most this many voices sound at once; a sound started past it is not played.
inline constexpr size_t kMaxVoices = 32;

using VoiceId = uint64_t;

struct VoiceOptions {
    uint32_t inPoint = 0;            // in 44.1 kHz samples of the sound
    uint32_t outPoint = UINT32_MAX;  // the same; past the end: the end
    uint64_t startFrame = 0;         // frames of the sound skipped before the first play
    uint32_t loops = 1;              // plays in all; 0 counts as 1
    std::vector<swf::SoundEnvelopePoint> envelope;  // over the samples played, at 44.1 kHz
    uint32_t sound = 0;  // what the voice plays, for stopping by sound (the caller's number)
    uint32_t owner = 0;  // whose gain applies (0: none but the mixer's)
};

// Percentages: how much of each input goes to each speaker, and the volume over them.
struct Gain {
    int ll = 100, lr = 0, rr = 100, rl = 0;  // left to left, left to right, right to right, right to left
    int volume = 100;
};

class Mixer {
public:
    // Starts a voice; 0 when kMaxVoices sound already, or the sound is empty.
    VoiceId play(std::shared_ptr<const Pcm> pcm, const VoiceOptions& options);
    void stop(VoiceId voice);
    void stopSound(uint32_t sound);  // every voice of the sound
    void stopOwner(uint32_t owner);  // every voice of the owner
    void stopWhere(uint32_t sound, uint32_t owner);  // the owner's voices of the sound
    void stopAll();
    bool playing(VoiceId voice) const;
    bool soundPlaying(uint32_t sound) const;
    size_t voices() const { return voices_.size(); }
    // Milliseconds of the sound played by the voice since its last loop began (its position
    // within the sound), or -1 when it does not play.
    double positionMs(VoiceId voice) const;

    void setGain(uint32_t owner, const Gain& gain);  // owner 0: the mixer's own
    Gain gain(uint32_t owner) const;

    // Mixes the next `frames` frames of every voice into `out` (frames x 2 samples); voices
    // that end are gone afterwards and listed by finished(). Returns whether any voice played.
    bool mix(int16_t* out, size_t frames);
    // Moves every voice on by `frames` frames without mixing them.
    void skip(size_t frames);
    // The voices that ended during the last mix or skip, in the order they ended.
    const std::vector<VoiceId>& finished() const { return finished_; }

private:
    struct Voice {
        VoiceId id = 0;
        std::shared_ptr<const Pcm> pcm;
        VoiceOptions options;
        uint64_t begin = 0, end = 0;  // source frames of one loop, in 32.32 fixed point
        uint64_t position = 0;        // source frame, 32.32
        uint64_t step = 0;            // source frames an output frame, 32.32
        uint32_t loopsLeft = 1;
        uint64_t played = 0;          // output frames played
    };
    // Advances the voice by one output frame; false once it has ended.
    static bool advance(Voice& v);
    static void envelopeAt(const Voice& v, int32_t& left, int32_t& right);
    void retire(size_t index);
    Gain gainOf(uint32_t owner) const;

    std::vector<Voice> voices_;
    std::unordered_map<uint32_t, Gain> gains_;
    std::vector<VoiceId> finished_;
    std::vector<int32_t> sum_;
    VoiceId next_ = 1;
};

// The rate sounds at 5.5 kHz are stored at is one eighth of 44.1 kHz; this gives every rate
// in half-hertz so that one is exact.
inline uint64_t HalfHertz(uint32_t rate) { return rate == 5512 ? 11025 : uint64_t{rate} * 2; }

}  // namespace audio
