#include "audio/mixer.h"

#include <algorithm>

namespace audio {

namespace {

constexpr uint64_t kOutputHalfHertz = uint64_t{kOutputRate} * 2;
constexpr int kGainShift = 16;

// A gain as a 2x2 matrix in 1/65536: out left = in left * m[0] + in right * m[1];
// out right = in left * m[2] + in right * m[3].
struct GainMatrix {
    int64_t m[4];
};

// Scripts may set any percentage; what is heard stops at ten times the sound either way.
int64_t Percent(int v) { return std::clamp<int64_t>(v, -1000, 1000); }

GainMatrix Combine(const Gain& voice, const Gain& mixer) {
    // Each factor in 1/10000 (percent of percent), the product in 1/10^8.
    const int64_t vv = Percent(voice.volume), mv = Percent(mixer.volume);
    // As matrices: left out = ll x left in + rl x right in; right out = lr x left in + rr x right in.
    const int64_t a[4] = {Percent(voice.ll) * vv, Percent(voice.rl) * vv, Percent(voice.lr) * vv, Percent(voice.rr) * vv};
    const int64_t b[4] = {Percent(mixer.ll) * mv, Percent(mixer.rl) * mv, Percent(mixer.lr) * mv, Percent(mixer.rr) * mv};
    GainMatrix g;
    g.m[0] = (b[0] * a[0] + b[1] * a[2]) * 65536 / 100000000;
    g.m[1] = (b[0] * a[1] + b[1] * a[3]) * 65536 / 100000000;
    g.m[2] = (b[2] * a[0] + b[3] * a[2]) * 65536 / 100000000;
    g.m[3] = (b[2] * a[1] + b[3] * a[3]) * 65536 / 100000000;
    return g;
}

}  // namespace

VoiceId Mixer::play(std::shared_ptr<const Pcm> pcm, const VoiceOptions& options) {
    if (!pcm || pcm->frames() == 0 || voices_.size() >= kMaxVoices) return 0;
    const uint64_t rate = HalfHertz(pcm->rate);
    const uint64_t frames = pcm->frames();
    const uint64_t in = std::min<uint64_t>(uint64_t{options.inPoint} * rate / kOutputHalfHertz, frames);
    const uint64_t out = options.outPoint == UINT32_MAX
                             ? frames
                             : std::min<uint64_t>(uint64_t{options.outPoint} * rate / kOutputHalfHertz, frames);
    if (in >= out || options.startFrame >= out - in) return 0;
    Voice v;
    v.id = next_++;
    v.pcm = std::move(pcm);
    v.options = options;
    v.begin = in << 32;
    v.end = out << 32;
    v.position = (in + options.startFrame) << 32;
    v.step = (rate << 32) / kOutputHalfHertz;
    v.loopsLeft = std::max<uint32_t>(options.loops, 1);
    voices_.push_back(std::move(v));
    return voices_.back().id;
}

void Mixer::stop(VoiceId voice) {
    for (size_t i = 0; i < voices_.size(); ++i) {
        if (voices_[i].id == voice) {
            voices_.erase(voices_.begin() + static_cast<ptrdiff_t>(i));
            return;
        }
    }
}

void Mixer::stopSound(uint32_t sound) {
    std::erase_if(voices_, [sound](const Voice& v) { return v.options.sound == sound; });
}

void Mixer::stopOwner(uint32_t owner) {
    std::erase_if(voices_, [owner](const Voice& v) { return v.options.owner == owner; });
}

void Mixer::stopWhere(uint32_t sound, uint32_t owner) {
    std::erase_if(voices_, [=](const Voice& v) { return v.options.sound == sound && v.options.owner == owner; });
}

void Mixer::stopAll() { voices_.clear(); }

bool Mixer::playing(VoiceId voice) const {
    return std::any_of(voices_.begin(), voices_.end(), [voice](const Voice& v) { return v.id == voice; });
}

bool Mixer::soundPlaying(uint32_t sound) const {
    return std::any_of(voices_.begin(), voices_.end(), [sound](const Voice& v) { return v.options.sound == sound; });
}

double Mixer::positionMs(VoiceId voice) const {
    for (const Voice& v : voices_) {
        if (v.id == voice) return static_cast<double>(v.position >> 32) * 2000.0 / static_cast<double>(HalfHertz(v.pcm->rate));
    }
    return -1;
}

void Mixer::setGain(uint32_t owner, const Gain& gain) { gains_[owner] = gain; }

Gain Mixer::gain(uint32_t owner) const { return gainOf(owner); }

Gain Mixer::gainOf(uint32_t owner) const {
    auto it = gains_.find(owner);
    return it != gains_.end() ? it->second : Gain();
}

bool Mixer::advance(Voice& v) {
    ++v.played;
    v.position += v.step;
    if (v.position < v.end) return true;
    if (--v.loopsLeft == 0) return false;
    v.position = v.begin + (v.position - v.end) % (v.end - v.begin);
    return true;
}

void Mixer::envelopeAt(const Voice& v, int32_t& left, int32_t& right) {
    const std::vector<swf::SoundEnvelopePoint>& points = v.options.envelope;
    // Envelope positions count 44.1 kHz samples, which output frames are.
    const uint64_t t = v.played;
    size_t next = 0;
    while (next < points.size() && points[next].position44 <= t) ++next;
    if (next == 0) {
        left = points.front().leftLevel;
        right = points.front().rightLevel;
    } else if (next == points.size()) {
        left = points.back().leftLevel;
        right = points.back().rightLevel;
    } else {
        const swf::SoundEnvelopePoint& a = points[next - 1];
        const swf::SoundEnvelopePoint& b = points[next];
        const int64_t span = int64_t{b.position44} - a.position44;
        const int64_t into = static_cast<int64_t>(t) - a.position44;
        left = static_cast<int32_t>(a.leftLevel + (int64_t{b.leftLevel} - a.leftLevel) * into / span);
        right = static_cast<int32_t>(a.rightLevel + (int64_t{b.rightLevel} - a.rightLevel) * into / span);
    }
}

bool Mixer::mix(int16_t* out, size_t frames) {
    finished_.clear();
    sum_.assign(frames * 2, 0);
    const bool any = !voices_.empty();
    const Gain mixerGain = gainOf(0);
    for (size_t index = 0; index < voices_.size();) {
        Voice& v = voices_[index];
        const GainMatrix g = Combine(v.options.owner != 0 ? gainOf(v.options.owner) : Gain(), mixerGain);
        const Pcm& pcm = *v.pcm;
        const auto lastFrame = static_cast<size_t>((v.end >> 32) - 1);
        bool alive = true;
        for (size_t f = 0; f < frames && alive; ++f) {
            const auto i = static_cast<size_t>(v.position >> 32);
            const int64_t frac = static_cast<int64_t>((v.position >> 16) & 0xFFFF);
            // The next sample: the loop's start again when the voice loops, else the same.
            const size_t j = i < lastFrame ? i + 1 : v.loopsLeft > 1 ? static_cast<size_t>(v.begin >> 32) : i;
            int64_t l = pcm.at(i, 0) + ((int64_t{pcm.at(j, 0)} - pcm.at(i, 0)) * frac >> 16);
            int64_t r = pcm.at(i, 1) + ((int64_t{pcm.at(j, 1)} - pcm.at(i, 1)) * frac >> 16);
            if (!v.options.envelope.empty()) {
                int32_t el = 0, er = 0;
                envelopeAt(v, el, er);
                l = l * el >> 15;
                r = r * er >> 15;
            }
            sum_[2 * f] += static_cast<int32_t>((l * g.m[0] + r * g.m[1]) >> kGainShift);
            sum_[2 * f + 1] += static_cast<int32_t>((l * g.m[2] + r * g.m[3]) >> kGainShift);
            alive = advance(v);
        }
        if (alive) {
            ++index;
        } else {
            retire(index);
        }
    }
    for (size_t k = 0; k < frames * 2; ++k) out[k] = static_cast<int16_t>(std::clamp(sum_[k], -32768, 32767));
    return any;
}

void Mixer::skip(size_t frames) {
    finished_.clear();
    for (size_t index = 0; index < voices_.size();) {
        bool alive = true;
        for (size_t f = 0; f < frames && alive; ++f) alive = advance(voices_[index]);
        if (alive) {
            ++index;
        } else {
            retire(index);
        }
    }
}

void Mixer::retire(size_t index) {
    finished_.push_back(voices_[index].id);
    voices_.erase(voices_.begin() + static_cast<ptrdiff_t>(index));
}

}  // namespace audio
