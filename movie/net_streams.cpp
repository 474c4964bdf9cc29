#include "movie/net_streams.h"

#include <algorithm>
#include <cmath>

#include "audio/decoder.h"

namespace movie {

uint32_t NetStreams::create() {
    if (streams_.size() >= kMaxNetStreams) return 0;
    const uint32_t number = next_++;
    streams_.emplace(number, Stream());
    return number;
}

void NetStreams::load(uint32_t stream, std::vector<video::FlvPacket> packets, audio::Mixer& mixer) {
    Stream* old = find(stream);
    if (old == nullptr) return;
    if (old->voice != 0) mixer.stop(old->voice);
    Stream s;
    for (video::FlvPacket& p : packets) {
        s.durationMs = std::max(s.durationMs, static_cast<double>(p.timeMs));
        (p.video ? s.video : s.audioPackets).push_back(std::move(p));
    }
    std::stable_sort(s.video.begin(), s.video.end(),
                     [](const video::FlvPacket& a, const video::FlvPacket& b) { return a.timeMs < b.timeMs; });
    *old = std::move(s);
}

NetStreams::Stream* NetStreams::find(uint32_t stream) {
    auto it = streams_.find(stream);
    return it != streams_.end() ? &it->second : nullptr;
}

void NetStreams::close(uint32_t stream, audio::Mixer& mixer) {
    if (Stream* s = find(stream)) {
        if (s->voice != 0) mixer.stop(s->voice);
        *s = Stream();  // empty: it may load another file
    }
}

void NetStreams::clear(audio::Mixer& mixer) {
    for (auto& [number, s] : streams_) {
        if (s.voice != 0) mixer.stop(s.voice);
    }
    streams_.clear();
}

double NetStreams::timeMs(const Stream& s) const {
    const double t = s.playing ? s.offsetMs + (nowMs_ - s.clockMs) : s.offsetMs;
    return std::clamp(t, 0.0, s.durationMs);
}

double NetStreams::timeSeconds(uint32_t stream) const {
    auto it = streams_.find(stream);
    return it != streams_.end() ? timeMs(it->second) / 1000 : 0;
}

// The stream's sound: its audio packets decoded one after the other, as one sound.
void NetStreams::startSound(Stream& s, audio::Mixer& mixer) {
    if (s.voice != 0) mixer.stop(s.voice);
    s.voice = 0;
    if (!s.sound && !s.audioPackets.empty()) {
        auto pcm = std::make_shared<audio::Pcm>();
        swf::SoundFormat format;
        const uint8_t byte = s.audioPackets.front().format;
        format.format = byte >> 4;
        format.rateCode = byte >> 2 & 3;
        format.sixteenBit = (byte & 2) != 0;
        format.stereo = (byte & 1) != 0;
        pcm->rate = format.sampleRate();
        pcm->channels = format.channels();
        std::string error;
        if (std::unique_ptr<audio::Decoder> decoder = audio::OpenDecoder(format, error)) {
            for (const video::FlvPacket& p : s.audioPackets) {
                if (!decoder->decode(p.data.data(), p.data.size(), *pcm, error) && error.find("limit") != std::string::npos) break;
            }
        } else if (log_) {
            log_("a stream's sound does not play: " + error);
        }
        s.sound = std::move(pcm);
        s.durationMs = std::max(s.durationMs, s.sound->rate != 0 ? static_cast<double>(s.sound->frames()) * 1000.0 / s.sound->rate : 0.0);
    }
    if (!s.sound || s.sound->frames() == 0) return;
    audio::VoiceOptions options;
    options.startFrame = static_cast<uint64_t>(timeMs(s) * s.sound->rate / 1000);
    s.voice = mixer.play(s.sound, options);
}

void NetStreams::play(uint32_t stream, audio::Mixer& mixer) {
    Stream* s = find(stream);
    if (s == nullptr) return;
    s->offsetMs = 0;
    s->clockMs = nowMs_;
    s->playing = true;
    s->ended = false;
    s->started = true;
    startSound(*s, mixer);
    if (status_) {
        status_(stream, "NetStream.Play.Start");
        status_(stream, "NetStream.Buffer.Full");
    }
}

void NetStreams::pause(uint32_t stream, bool paused, audio::Mixer& mixer) {
    Stream* s = find(stream);
    if (s == nullptr || !s->started || s->ended || paused == !s->playing) return;
    s->offsetMs = timeMs(*s);
    s->clockMs = nowMs_;
    s->playing = !paused;
    if (paused) {
        if (s->voice != 0) mixer.stop(s->voice);
        s->voice = 0;
    } else {
        startSound(*s, mixer);
    }
}

void NetStreams::seek(uint32_t stream, double seconds, audio::Mixer& mixer) {
    Stream* s = find(stream);
    if (s == nullptr || !std::isfinite(seconds)) return;
    s->offsetMs = std::clamp(seconds * 1000, 0.0, s->durationMs);
    s->clockMs = nowMs_;
    if (s->playing) startSound(*s, mixer);
}

const image::Picture* NetStreams::picture(uint32_t stream) {
    Stream* s = find(stream);
    if (s == nullptr || s->video.empty() || !s->started) return nullptr;
    const double t = timeMs(*s);
    int target = -1;
    for (size_t i = 0; i < s->video.size() && s->video[i].timeMs <= t; ++i) target = static_cast<int>(i);
    if (target < 0) return nullptr;
    if (target < s->decoded) {  // back: from the start again
        s->decoder.reset();
        s->decoded = -1;
    }
    std::string error;
    if (!s->decoder) s->decoder = video::OpenDecoder(s->video.front().format, 0, error);
    if (!s->decoder) {
        if (!s->warned && log_) log_("a stream's pictures do not show: " + error);
        s->warned = true;
        return nullptr;
    }
    for (int i = s->decoded + 1; i <= target; ++i) {
        const video::FlvPacket& p = s->video[static_cast<size_t>(i)];
        if (!s->decoder->decode(p.data.data(), p.data.size(), s->picture, error) && !s->warned) {
            if (log_) log_("a frame of a stream does not decode: " + error);
            s->warned = true;
        }
        s->decoded = i;
    }
    return s->picture.pixels.empty() ? nullptr : &s->picture;
}

void NetStreams::endStep(audio::Mixer& mixer) {
    for (auto& [number, s] : streams_) {
        if (!s.playing || s.offsetMs + (nowMs_ - s.clockMs) < s.durationMs) continue;
        s.offsetMs = s.durationMs;
        s.playing = false;
        s.ended = true;
        if (s.voice != 0 && !mixer.playing(s.voice)) s.voice = 0;
        if (status_) {
            status_(number, "NetStream.Buffer.Flush");
            status_(number, "NetStream.Play.Stop");
            status_(number, "NetStream.Buffer.Empty");
        }
    }
}

}  // namespace movie
