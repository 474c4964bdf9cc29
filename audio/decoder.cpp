#include "audio/decoder.h"

#include <algorithm>

#include "audio/codec.h"

namespace audio {

namespace {

// Uncompressed samples: 8-bit ones are unsigned, 16-bit ones little-endian (the
// "native endian" format was written on little-endian machines).
class PcmDecoder final : public Decoder {
public:
    explicit PcmDecoder(const swf::SoundFormat& format) : format_(format) {}

    bool decode(const uint8_t* data, size_t size, Pcm& out, std::string& error) override {
        const size_t bytesPerSample = format_.sixteenBit ? 2 : 1;
        const size_t frameBytes = bytesPerSample * format_.channels();
        size_t frames = size / frameBytes;
        const size_t room = limitSamples() - std::min(out.samples.size(), limitSamples());
        bool ok = true;
        if (frames * format_.channels() > room) {
            frames = room / format_.channels();
            error = "the sound is longer than the decoding limit";
            ok = false;
        }
        const size_t count = frames * format_.channels();
        const size_t at = out.samples.size();
        out.samples.resize(at + count);
        for (size_t i = 0; i < count; ++i) {
            if (format_.sixteenBit) {
                out.samples[at + i] = static_cast<int16_t>(static_cast<uint16_t>(data[2 * i] | data[2 * i + 1] << 8));
            } else {
                out.samples[at + i] = static_cast<int16_t>((data[i] - 128) * 256);
            }
        }
        return ok;
    }

private:
    swf::SoundFormat format_;
};

}  // namespace

std::unique_ptr<Decoder> OpenDecoder(const swf::SoundFormat& format, std::string& error) {
    switch (format.format) {
        case swf::sound_format::kPcmNativeEndian:
        case swf::sound_format::kPcmLittleEndian: return std::make_unique<PcmDecoder>(format);
        case swf::sound_format::kAdpcm:
        case swf::sound_format::kMp3:
        case swf::sound_format::kNellymoser16k:
        case swf::sound_format::kNellymoser8k:
        case swf::sound_format::kNellymoser:
        case swf::sound_format::kSpeex: return OpenCodecDecoder(format, error);
        default: break;
    }
    error = "sound format " + std::to_string(format.format) + " is not one a movie may use";
    return nullptr;
}

bool DecodeSound(const swf::SoundFormat& format, const uint8_t* data, size_t size, Pcm& out, std::string& error,
                 size_t maxBytes) {
    out = Pcm();
    out.rate = format.sampleRate();
    out.channels = format.channels();
    std::unique_ptr<Decoder> decoder = OpenDecoder(format, error);
    if (!decoder) return false;
    decoder->setLimit(maxBytes);
    const bool ok = decoder->decode(data, size, out, error);
    return ok || out.frames() > 0;
}

}  // namespace audio
