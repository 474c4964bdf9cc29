#pragma once
// The files the converter writes: containers, chosen by the output's extension (or by name,
// as ffmpeg's -f), and the codecs each can hold, with the default that keeps the alpha where
// the container can. A table of facts, the same on every build; what a build can really
// write is the encoder's business (HaveEncoder).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace encode {

struct CodecInfo {
    const char* name;         // as --codec takes it
    const char* encoder;      // the library's encoder
    const char* pixelFormat;  // the frames it is given
    bool alpha;               // whether it keeps the alpha
    bool lossless;
    bool rateControl;         // takes --crf and --bitrate
    bool threadsShapeOutput;  // its bitstream depends on how many threads encode it
    const char* description;
};

struct ContainerInfo {
    const char* name;           // as -f takes it
    const char* muxer;          // the library's muxer
    const char* extensions;     // space-separated, with their dots
    const char* defaultCodec;
    const char* audioCodec;     // the library's encoder for its sound; empty: it holds none
    const char* codecs;         // the codecs it may hold, space-separated
    bool streamable;            // written to a pipe as it goes
    const char* description;
};

const std::vector<CodecInfo>& Codecs();
const std::vector<ContainerInfo>& Containers();
const CodecInfo* FindCodec(std::string_view name);
const ContainerInfo* FindContainer(std::string_view name);

// The container a file name asks for by its extension (case aside); null when none matches.
// "frame%05d.png" (a printf-style pattern with one %d) is an image sequence; "x.png" without
// the pattern is not, since every frame would overwrite it.
const ContainerInfo* ContainerForPath(const std::string& path);
// Whether the name holds exactly one integer conversion (%d, %05d) and no other % but %%.
bool IsSequencePattern(const std::string& path);
bool Holds(const ContainerInfo& container, std::string_view codec);

// What one output will be: the container and codec, checked against each other.
struct Choice {
    const ContainerInfo* container = nullptr;
    const CodecInfo* codec = nullptr;
    // Our own RIFF writer does it: uncompressed frames in AVI.
    bool ownAviWriter = false;
};

// The container from `format` (-f) or else the path's extension, the codec from `codec` or
// else the container's default. False with a message that says what was wrong.
bool Choose(const std::string& path, const std::string& format, const std::string& codec, Choice& choice,
            std::string& error);

// A colour as ffmpeg takes one: a name (black, white, red, green, blue, gray, ...) or a hex
// "#RRGGBB" / "0xRRGGBB" / "RRGGBB". 0xRRGGBB on success.
bool ParseColor(std::string_view text, uint32_t& rgb);

}  // namespace encode
