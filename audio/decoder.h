#pragma once
// Decoding the sound formats that movies embed into PCM.
//
// Uncompressed samples are read here; ADPCM, MP3, Nellymoser and Speex go through the
// platform's codec library where the build has one (FFmpeg's libavcodec on Linux).
// A decoder keeps its state from one call to the next, so a stream's blocks decode as one
// sound: an MP3 frame may take bits from the frames before it.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/pcm.h"
#include "swf/sound_tags.h"

namespace audio {

// The most decoded sound one sound may take, in bytes of 16-bit samples (about 50 minutes of
// 44.1 kHz stereo); decoding stops there.
inline constexpr size_t kMaxDecodedBytes = size_t{512} << 20;

class Decoder {
public:
    virtual ~Decoder() = default;
    // Appends the samples that `size` bytes of the format decode to; false with the reason
    // when they do not decode (what did decode stays in `out`).
    virtual bool decode(const uint8_t* data, size_t size, Pcm& out, std::string& error) = 0;
    // The most bytes of samples `out` may hold: decoding stops there (kMaxDecodedBytes
    // unless set lower).
    void setLimit(size_t bytes) { limit_ = std::min(bytes, kMaxDecodedBytes); }

protected:
    size_t limitSamples() const { return limit_ / 2; }

private:
    size_t limit_ = kMaxDecodedBytes;
};

// A decoder for the format, or null with the reason (a format this build cannot decode).
std::unique_ptr<Decoder> OpenDecoder(const swf::SoundFormat& format, std::string& error);

// Whether this build decodes the compressed formats (ADPCM, MP3, Nellymoser, Speex).
bool HasCodecLibrary();

// The whole of one sound's data as one Pcm at the format's rate and channels; MP3 data is
// decoded frame after frame. False with the reason when nothing usable came out.
bool DecodeSound(const swf::SoundFormat& format, const uint8_t* data, size_t size, Pcm& out, std::string& error,
                 size_t maxBytes = kMaxDecodedBytes);

}  // namespace audio
