#include "movie/sound/sound_player.h"

#include <algorithm>
#include <cmath>

#include "audio/decoder.h"

namespace movie {

void SoundPlayer::reset() {
    mixer_.stopAll();
    playing_.clear();
}

void SoundPlayer::forget() {
    reset();
    events_.clear();
    keys_.clear();
    scriptSounds_.clear();
    adopted_.clear();
    streams_.clear();
    warned_.clear();
    decodedBytes_ = 0;
}

void SoundPlayer::warnOnce(const void* key, const std::string& line) {
    if (warned_.emplace(key, true).second && log_) log_(line);
}

uint32_t SoundPlayer::soundKey(const EventSound& sound) {
    auto [it, added] = keys_.emplace(&sound, static_cast<uint32_t>(keys_.size() + 1));
    return it->second;
}

size_t SoundPlayer::budget() {
    const uint64_t left = kMaxSoundBytes - std::min(decodedBytes_, kMaxSoundBytes);
    if (left == 0) warnOnce(&decodedBytes_, "the movie's sounds together pass kMaxSoundBytes: the rest do not play");
    return static_cast<size_t>(left);
}

std::shared_ptr<const audio::Pcm> SoundPlayer::decoded(const EventSound& sound) {
    if (auto it = events_.find(&sound); it != events_.end()) return it->second;
    auto pcm = std::make_shared<audio::Pcm>();
    std::string error;
    const size_t room = budget();
    const bool ok = room > 0 && audio::DecodeSound(sound.format, sound.data.data(), sound.data.size(), *pcm, error, room);
    decodedBytes_ += pcm->samples.size() * 2;
    std::shared_ptr<const audio::Pcm> kept;
    if (ok) {
        // The sound is as long as its header says: a codec's last frame may hold padding.
        const uint64_t skip = sound.format.format == swf::sound_format::kMp3 ? std::max<int>(sound.seekSamples, 0) : 0;
        const uint64_t length = skip + sound.sampleCount;
        if (sound.sampleCount > 0 && pcm->frames() > length) pcm->samples.resize(static_cast<size_t>(length) * pcm->channels);
        kept = std::move(pcm);
    } else if (room > 0) {
        // Without a codec library every compressed sound fails alike: said once.
        warnOnce(audio::HasCodecLibrary() ? static_cast<const void*>(&sound) : &warned_, "a sound does not play: " + error);
    }
    events_[&sound] = kept;
    return kept;
}

const SoundPlayer::DecodedStream& SoundPlayer::decoded(const StreamSound& stream) {
    if (auto it = streams_.find(&stream); it != streams_.end()) return it->second;
    DecodedStream& d = streams_[&stream];
    std::string error;
    std::unique_ptr<audio::Decoder> decoder = audio::OpenDecoder(stream.head.stream, error);
    if (!decoder) {
        warnOnce(audio::HasCodecLibrary() ? static_cast<const void*>(&stream) : &warned_, "a sound does not play: " + error);
        return d;
    }
    decoder->setLimit(budget());
    auto pcm = std::make_shared<audio::Pcm>();
    pcm->rate = stream.head.stream.sampleRate();
    pcm->channels = stream.head.stream.channels();
    d.blockStart.reserve(stream.blocks.size());
    bool failed = false;
    for (const StreamSound::Block& block : stream.blocks) {
        d.blockStart.push_back(pcm->frames());
        if (failed) continue;
        if (!decoder->decode(block.data.data(), block.data.size(), *pcm, error)) {
            // A block that does not decode is silence; past the limit nothing more decodes.
            warnOnce(&stream, "part of a sound stream does not play: " + error);
            failed = error.find("limit") != std::string::npos;
        }
    }
    decodedBytes_ += pcm->samples.size() * 2;
    d.pcm = std::move(pcm);
    return d;
}

uint32_t SoundPlayer::scriptNumber(const EventSound& sound) {
    for (size_t i = 0; i < scriptSounds_.size(); ++i) {
        if (scriptSounds_[i] == &sound) return static_cast<uint32_t>(i + 1);
    }
    scriptSounds_.push_back(&sound);
    return static_cast<uint32_t>(scriptSounds_.size());
}

const EventSound* SoundPlayer::scriptSound(uint32_t number) const {
    return number >= 1 && number <= scriptSounds_.size() ? scriptSounds_[number - 1] : nullptr;
}

uint32_t SoundPlayer::adopt(std::shared_ptr<EventSound> sound) {
    adopted_.push_back(std::move(sound));
    return scriptNumber(*adopted_.back());
}

double SoundPlayer::durationMs(const EventSound& sound) {
    std::shared_ptr<const audio::Pcm> pcm = decoded(sound);
    if (!pcm) return -1;
    // As long as the header says, in whole milliseconds; a loaded file as long as it decodes.
    if (sound.sampleCount > 0) {
        return std::round(static_cast<double>(sound.sampleCount) * 1000.0 / sound.format.sampleRate());
    }
    return std::round(static_cast<double>(pcm->frames()) * 2000.0 / static_cast<double>(audio::HalfHertz(pcm->rate)));
}

void SoundPlayer::command(const EventSound& sound, const swf::SoundInfo& info, uint32_t owner) {
    const uint32_t key = soundKey(sound);
    if (info.syncStop) {
        mixer_.stopSound(key);
        return;
    }
    if (info.syncNoMultiple && mixer_.soundPlaying(key)) return;
    audio::VoiceOptions options;
    if (info.inPoint) options.inPoint = *info.inPoint;
    if (info.outPoint) options.outPoint = *info.outPoint;
    if (info.loopCount) options.loops = *info.loopCount;
    if (info.envelope) options.envelope = *info.envelope;
    options.owner = owner;
    start(sound, options);
}

audio::VoiceId SoundPlayer::start(const EventSound& sound, const audio::VoiceOptions& given) {
    std::shared_ptr<const audio::Pcm> pcm = decoded(sound);
    if (!pcm) return 0;
    audio::VoiceOptions options = given;
    options.sound = soundKey(sound);
    if (sound.format.format == swf::sound_format::kMp3) options.startFrame += std::max<int>(sound.seekSamples, 0);
    const audio::VoiceId voice = mixer_.play(std::move(pcm), options);
    if (voice == 0 && mixer_.voices() >= audio::kMaxVoices) {
        warnOnce(&mixer_, "more than " + std::to_string(audio::kMaxVoices) + " sounds at once: the newest do not play");
    }
    return voice;
}

void SoundPlayer::streamFrame(uint32_t timeline, const StreamSound& stream, int frame, int block) {
    StreamState& s = playing_[timeline];
    s.seen = true;
    const bool next = s.stream == &stream && frame == s.frame + 1;
    if (next && s.running) {
        s.frame = frame;
        return;  // plays on, or has played to its end
    }
    if (s.voice != 0) mixer_.stop(s.voice);
    s.voice = 0;
    s.running = false;
    // A timeline that stays on its frame is stopped, and so is its stream.
    const bool moved = s.stream != &stream || frame != s.frame;
    s.stream = &stream;
    s.frame = frame;
    if (!moved || block < 0 || static_cast<size_t>(block) >= stream.blocks.size()) return;
    const DecodedStream& d = decoded(stream);
    if (!d.pcm) return;
    audio::VoiceOptions options;
    options.startFrame = d.blockStart[static_cast<size_t>(block)];
    options.owner = timeline;
    if (stream.head.stream.format == swf::sound_format::kMp3) {
        options.startFrame += static_cast<uint64_t>(std::max<int>(stream.blocks[static_cast<size_t>(block)].seekSamples, 0));
    }
    s.voice = mixer_.play(d.pcm, options);
    s.running = s.voice != 0;
}

void SoundPlayer::endStep() {
    for (auto it = playing_.begin(); it != playing_.end();) {
        if (it->second.seen) {
            it->second.seen = false;
            ++it;
            continue;
        }
        if (it->second.voice != 0) mixer_.stop(it->second.voice);
        it = playing_.erase(it);
    }
}

}  // namespace movie
