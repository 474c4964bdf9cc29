#pragma once
// Decoded sound: 16-bit samples, channels interleaved, at the sound's own rate.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace audio {

// What the mixer writes: 44.1 kHz stereo, 16 bits a sample.
inline constexpr uint32_t kOutputRate = 44100;
inline constexpr int kOutputChannels = 2;

struct Pcm {
    uint32_t rate = kOutputRate;
    uint8_t channels = 1;
    std::vector<int16_t> samples;  // frames x channels

    size_t frames() const { return channels != 0 ? samples.size() / channels : 0; }
    // The sample of channel `c` (the last one when the sound has fewer) at frame `i`.
    int16_t at(size_t i, int c) const {
        return samples[i * channels + static_cast<size_t>(c < channels ? c : channels - 1)];
    }
};

}  // namespace audio
