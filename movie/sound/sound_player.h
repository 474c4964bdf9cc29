#pragma once
// What plays when: the movie's event sounds and timeline streams, started and stopped as the
// timelines run, mixed by the audio mixer into the sound of each frame.
//
// Event sounds start when their frame runs (StartSound), with their SoundInfo: in and out
// points, loops, envelope; a stop stops every voice of the sound, and a sound that may not
// play twice is not started while it plays. A timeline's stream plays while the timeline
// moves on frame by frame: it starts at the block of the frame it is on, goes on through
// the following frames, and stops when the timeline stops, jumps (a goto, a loop back to its
// start) or leaves the display; then it starts again at the next frame with a block.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "audio/pcm.h"
#include "movie/sound/sound_data.h"

namespace movie {

// The decoded samples of all a movie's sounds together: what would pass it does not decode.
inline constexpr uint64_t kMaxSoundBytes = uint64_t{512} << 20;

// The sound of a movie: 44.1 kHz stereo, 16 bits a sample.
inline constexpr uint32_t kSoundRate = audio::kOutputRate;
inline constexpr int kSoundChannels = audio::kOutputChannels;

class SoundPlayer {
public:
    void setLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }
    // Stops every voice and stream; decoded sounds stay.
    void reset();
    // Also forgets the decoded sounds: the movie whose data they came from has gone.
    void forget();

    // A frame's StartSound, in the timeline `owner`: its gain applies.
    void command(const EventSound& sound, const swf::SoundInfo& info, uint32_t owner);
    // Starts an event sound (options.owner's gain applies). 0 when it cannot play.
    audio::VoiceId start(const EventSound& sound, const audio::VoiceOptions& options);
    // The number scripts know a sound by (from 1), the same for the same sound; and back.
    uint32_t scriptNumber(const EventSound& sound);
    const EventSound* scriptSound(uint32_t number) const;
    // A sound that belongs to the player (one a script loaded from a file), numbered.
    uint32_t adopt(std::shared_ptr<EventSound> sound);
    // Its length in milliseconds, or -1 when it does not decode.
    double durationMs(const EventSound& sound);
    void stopAll() { mixer_.stopAll(); }
    // The number the voices of the sound carry, for stopping them.
    uint32_t soundKey(const EventSound& sound);
    // The decoded sound, or null when it does not decode; its length in milliseconds.
    std::shared_ptr<const audio::Pcm> decoded(const EventSound& sound);

    // The frame a timeline with a stream is on after a step; `block` is that frame's block
    // of the stream, or -1.
    void streamFrame(uint32_t timeline, const StreamSound& stream, int frame, int block);
    // After the step's streamFrame calls: streams of timelines not reported stop.
    void endStep();

    bool mix(int16_t* out, size_t frames) { return mixer_.mix(out, frames); }
    void skip(size_t frames) { mixer_.skip(frames); }
    audio::Mixer& mixer() { return mixer_; }

private:
    struct DecodedStream {
        std::shared_ptr<const audio::Pcm> pcm;  // null: does not decode
        std::vector<uint64_t> blockStart;       // the first frame of each block in `pcm`
    };
    const DecodedStream& decoded(const StreamSound& stream);
    struct StreamState {
        const StreamSound* stream = nullptr;
        int frame = -1;
        audio::VoiceId voice = 0;
        bool running = false;  // started at a block and not stopped since
        bool seen = false;
    };
    void warnOnce(const void* key, const std::string& line);

    audio::Mixer mixer_;
    std::map<const EventSound*, std::shared_ptr<const audio::Pcm>> events_;
    std::map<const EventSound*, uint32_t> keys_;
    std::vector<const EventSound*> scriptSounds_;  // by script number - 1
    std::vector<std::shared_ptr<EventSound>> adopted_;
    std::map<const StreamSound*, DecodedStream> streams_;
    std::map<uint32_t, StreamState> playing_;  // by timeline
    std::map<const void*, bool> warned_;
    uint64_t decodedBytes_ = 0;  // of every decoded sound kept
    // What is left of kMaxSoundBytes, or 0 (said once) when nothing is.
    size_t budget();
    std::function<void(const std::string&)> log_;
};

}  // namespace movie
