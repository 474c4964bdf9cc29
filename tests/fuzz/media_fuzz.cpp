// The sound and video decoders and the mixer, fed anything. The first byte chooses: below
// 0x80 it is a sound format byte as the tags pack it (format, rate, size, channels; format 7,
// which the tags do not use, stands for Speex) and the
// rest is the sound's data, decoded whole and again as blocks, then mixed with an envelope;
// from 0x80 its low bits name a video codec and the rest is cut into frames.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "audio/decoder.h"
#include "audio/mixer.h"
#include "video/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t selector = data[0];
    const uint8_t* body = data + 1;
    const size_t bytes = size - 1;
    std::string error;
    if (selector < 0x80) {
        swf::SoundFormat f;
        f.format = static_cast<uint8_t>(selector >> 4);
        if (f.format == 7) f.format = swf::sound_format::kSpeex;  // 7 is no format: Speex instead
        f.rateCode = static_cast<uint8_t>(selector >> 2 & 3);
        f.sixteenBit = (selector & 2) != 0;
        f.stereo = (selector & 1) != 0;
        auto pcm = std::make_shared<audio::Pcm>();
        audio::DecodeSound(f, body, bytes, *pcm, error);
        if (std::unique_ptr<audio::Decoder> blocks = audio::OpenDecoder(f, error)) {
            audio::Pcm streamed;
            for (size_t at = 0; at < bytes; at += 417) blocks->decode(body + at, std::min<size_t>(417, bytes - at), streamed, error);
        }
        audio::Mixer mixer;
        audio::VoiceOptions o;
        o.inPoint = body[0];
        o.outPoint = bytes > 1 ? body[1] * 97u : UINT32_MAX;
        o.loops = static_cast<uint32_t>(bytes % 4);
        o.envelope = {{0, 32768, 0}, {static_cast<uint32_t>(bytes), 0, 32768}};
        mixer.play(pcm, o);
        std::vector<int16_t> out(2 * 4096);
        mixer.mix(out.data(), 4096);
        mixer.skip(1000);
        mixer.mix(out.data(), 4096);
    } else {
        std::unique_ptr<video::Decoder> decoder = video::OpenDecoder(static_cast<uint8_t>(selector & 7), static_cast<uint8_t>(selector >> 3 & 3), error);
        if (!decoder) return 0;
        image::Picture picture;
        const size_t frame = bytes / 3 + 1;
        for (size_t at = 0; at < bytes; at += frame) decoder->decode(body + at, std::min(frame, bytes - at), picture, error);
    }
    return 0;
}
