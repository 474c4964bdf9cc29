#include "swf/sound_tags.h"

namespace swf {

uint32_t SoundFormat::sampleRate() const {
    switch (format) {
        case sound_format::kNellymoser16k:
        case sound_format::kSpeex: return 16000;
        case sound_format::kNellymoser8k: return 8000;
        default: break;
    }
    static constexpr uint32_t kRates[] = {5512, 11025, 22050, 44100};
    return kRates[rateCode & 3];
}

namespace {

// Format (4 bits), rate (2), size (1) and type (1), from the current byte.
SoundFormat ReadFormat(ByteReader& r) {
    SoundFormat f;
    f.format = static_cast<uint8_t>(r.ubits(4));
    f.rateCode = static_cast<uint8_t>(r.ubits(2));
    f.sixteenBit = r.flag();
    f.stereo = r.flag();
    return f;
}

}  // namespace

bool ReadDefineSound(const Tag& tag, DefineSound& out) {
    out = DefineSound();
    ByteReader r = tag.reader();
    out.id = r.u16();
    out.format = ReadFormat(r);
    r.align();
    out.sampleCount = r.u32();
    if (out.format.format == sound_format::kMp3) out.seekSamples = r.s16();
    if (!r.ok()) return false;
    out.data = Bytes{r.current(), r.remaining()};
    return true;
}

bool ReadStartSound(const Tag& tag, StartSound& out) {
    out = StartSound();
    ByteReader r = tag.reader();
    if (tag.code == tag::kStartSound2) {
        out.className = r.string();
    } else {
        out.soundId = r.u16();
    }
    return r.ok() && ReadSoundInfo(r, out.info) && r.ok();
}

bool ReadSoundStreamHead(const Tag& tag, SoundStreamHead& out) {
    out = SoundStreamHead();
    ByteReader r = tag.reader();
    r.ubits(4);  // reserved
    const uint8_t rate = static_cast<uint8_t>(r.ubits(2));
    out.playback.rateCode = rate;
    out.playback.sixteenBit = r.flag();
    out.playback.stereo = r.flag();
    out.stream = ReadFormat(r);
    r.align();
    out.playback.format = sound_format::kPcmLittleEndian;
    out.samplesPerBlock = r.u16();
    if (out.stream.format == sound_format::kMp3 && r.remaining() >= 2) out.latencySeek = r.s16();
    return r.ok();
}

bool ReadSoundStreamBlock(const Tag& tag, bool mp3, SoundStreamBlock& out) {
    out = SoundStreamBlock();
    ByteReader r = tag.reader();
    if (mp3) {
        out.sampleCount = r.u16();
        out.seekSamples = r.s16();
    }
    if (!r.ok()) return false;
    out.data = Bytes{r.current(), r.remaining()};
    return true;
}

}  // namespace swf
