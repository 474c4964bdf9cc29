#pragma once
// Frames into any container and codec of the format table, through FFmpeg's libraries:
// libavcodec encodes, libavformat muxes, libswscale takes the frames to the codec's pixel
// format and libswresample the sound to the codec's rate and samples.

#include <cstdint>
#include <memory>
#include <string>

#include "convert/frame_sink.h"
#include "encode/formats.h"

namespace encode {

struct SinkSettings {
    std::string path;  // "-": the standard output
    Choice choice;
    int width = 0, height = 0;
    uint32_t rate = 0, scale = 0;  // frames a second as rate / scale: the streams' time base
    // A sound stream in the container's codec, from the first frame (silence until the movie
    // makes a sound); containers without sound (image sequences) get none.
    bool audio = false;
    convert::Alpha alpha = convert::Alpha::kStraight;
    uint32_t background = 0;  // 0xRRGGBB under every frame, for codecs without alpha
    int crf = -1;             // the codec's constant-quality level; -1: ours by default
    int64_t bitrate = 0;      // bits a second; 0: none asked
    int threads = 1;          // the encoder's own threads, where it has them
    int firstNumber = 0;      // an image sequence's first file number
};

// Whether this build's library has the codec's encoder (and its sound encoder, for a
// container).
bool HaveEncoder(const CodecInfo& codec);
bool HaveAudioEncoder(const ContainerInfo& container);

// The libraries' versions, as "libavcodec 59.37.100, libavformat 59.27.100".
std::string LibraryVersions();

// Null with the reason in `error` when the file cannot be made.
std::unique_ptr<convert::FrameSink> OpenSink(const SinkSettings& settings, std::string& error);

}  // namespace encode
