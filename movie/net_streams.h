#pragma once
// The FLV files scripts play through NetStream objects: each stream's pictures and sound,
// its clock (the movie's steps while it plays), and the status events it raises.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "audio/pcm.h"
#include "image/lossless.h"
#include "video/decoder.h"
#include "video/flv.h"

namespace movie {

// At most this many NetStreams a movie makes.
inline constexpr size_t kMaxNetStreams = 64;

class NetStreams {
public:
    // A status event for a stream's listener: its code ("NetStream.Play.Start" ...).
    using StatusSink = std::function<void(uint32_t stream, const char* code)>;
    void setStatusSink(StatusSink sink) { status_ = std::move(sink); }
    void setLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

    // A new stream, empty: its number, or 0 when kMaxNetStreams are open.
    uint32_t create();
    // Gives the stream the FLV file's packets, stopped at their start.
    void load(uint32_t stream, std::vector<video::FlvPacket> packets, audio::Mixer& mixer);
    // Stops the stream and empties it.
    void close(uint32_t stream, audio::Mixer& mixer);
    void clear(audio::Mixer& mixer);

    // The clock: the movie's time now, in milliseconds (steps x the frame's length).
    void setNow(double ms) { nowMs_ = ms; }

    void play(uint32_t stream, audio::Mixer& mixer);
    // pause(true), pause(false) resumes.
    void pause(uint32_t stream, bool paused, audio::Mixer& mixer);
    void seek(uint32_t stream, double seconds, audio::Mixer& mixer);
    // Seconds into the stream; 0 for a stream that is not there.
    double timeSeconds(uint32_t stream) const;
    // The picture of the stream's last video frame at or before its time, or null.
    const image::Picture* picture(uint32_t stream);
    // After a step: streams that reached their end stop, with their events.
    void endStep(audio::Mixer& mixer);

private:
    struct Stream {
        std::vector<video::FlvPacket> video;  // by time
        std::vector<video::FlvPacket> audioPackets;
        std::shared_ptr<audio::Pcm> sound;  // decoded at the first play
        double durationMs = 0;
        bool playing = false, started = false, ended = false;
        double offsetMs = 0;  // the stream's time when its clock last started or stopped
        double clockMs = 0;   // the movie's time then
        audio::VoiceId voice = 0;
        std::unique_ptr<video::Decoder> decoder;
        int decoded = -1;  // the index in `video` that `picture` shows
        image::Picture picture;
        bool warned = false;
    };
    Stream* find(uint32_t stream);
    double timeMs(const Stream& s) const;
    void startSound(Stream& s, audio::Mixer& mixer);

    std::map<uint32_t, Stream> streams_;
    uint32_t next_ = 1;
    double nowMs_ = 0;
    StatusSink status_;
    std::function<void(const std::string&)> log_;
};

}  // namespace movie
