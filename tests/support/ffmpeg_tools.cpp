#include "support/ffmpeg_tools.h"

#include "support/temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace testing_support {

namespace {

std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool Run(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return false;
    char buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    return pclose(pipe) == 0;
}

}  // namespace

bool HaveFfmpegTools() {
    return std::system("command -v ffprobe >/dev/null 2>&1 && command -v ffmpeg >/dev/null 2>&1") == 0;
}

ProbedVideo ProbeAvi(const std::string& path) {
    ProbedVideo v;
    const std::string command =
        "ffprobe -v error -count_packets -show_entries "
        "format=nb_streams:stream=codec_type,codec_name,pix_fmt,width,height,r_frame_rate,"
        "duration,nb_read_packets -of default=noprint_wrappers=1 " +
        ShellQuote(path) + " 2>&1";
    v.ok = Run(command, v.output);
    std::istringstream lines(v.output);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "nb_streams") v.streams = std::atoi(value.c_str());
        else if (key == "codec_type") v.codecType = value;
        else if (key == "codec_name") v.codecName = value;
        else if (key == "pix_fmt") v.pixFmt = value;
        else if (key == "r_frame_rate") v.rFrameRate = value;
        else if (key == "duration" && value != "N/A") v.duration = std::atof(value.c_str());
        else if (key == "width") v.width = std::atoi(value.c_str());
        else if (key == "height") v.height = std::atoi(value.c_str());
        else if (key == "nb_read_packets") v.packets = std::atoll(value.c_str());
    }
    return v;
}

bool DecodeAviToBgra(const std::string& path, std::string& frames, std::string* errors) {
    return DecodeToBgra(path, "", frames, errors);
}

bool DecodeToBgra(const std::string& path, const std::string& inputOptions, std::string& frames, std::string* errors) {
    // passthrough: one output frame per stored frame, none duplicated or dropped by timing.
    const std::string input = "ffmpeg -nostdin -v error " + inputOptions + " -i " + ShellQuote(path);
    const bool ok = Run(input + " -fps_mode passthrough -f rawvideo -pix_fmt bgra - 2>/dev/null", frames);
    if (!ok && errors) Run(input + " -f null - 2>&1", *errors);
    return ok;
}

double ProbeFormatDuration(const std::string& path) {
    std::string text;
    if (!Run("ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuote(path) + " 2>&1", text)) return -1;
    return text.empty() || text.rfind("N/A", 0) == 0 ? -1 : std::atof(text.c_str());
}

std::vector<ProbedStream> ProbeStreams(const std::string& path, std::string* output) {
    std::vector<ProbedStream> streams;
    std::string text;
    Run("ffprobe -v error -count_packets -show_entries "
        "stream=codec_type,codec_name,pix_fmt,r_frame_rate,sample_rate,channels,duration,nb_frames,nb_read_packets:"
        "stream_tags=alpha_mode "
        "-of default " + ShellQuote(path) + " 2>&1",
        text);
    if (output) *output = text;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line == "[STREAM]") {
            streams.emplace_back();
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || streams.empty()) continue;
        ProbedStream& st = streams.back();
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "codec_type") st.codecType = value;
        else if (key == "codec_name") st.codecName = value;
        else if (key == "pix_fmt") st.pixFmt = value;
        else if (key == "TAG:alpha_mode") st.alphaMode = value;
        else if (key == "r_frame_rate") st.rFrameRate = value;
        else if (key == "sample_rate") st.sampleRate = std::atoi(value.c_str());
        else if (key == "channels") st.channels = std::atoi(value.c_str());
        else if (key == "duration" && value != "N/A") st.duration = std::atof(value.c_str());
        else if (key == "nb_frames" && value != "N/A") st.frames = std::atoll(value.c_str());
        else if (key == "nb_read_packets") st.packets = std::atoll(value.c_str());
    }
    return streams;
}

bool DecodeAudio(const std::string& path, std::vector<int16_t>& samples, std::string* errors) {
    std::string raw;
    const bool ok = Run("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -map 0:a:0 -f s16le - 2>/dev/null", raw);
    if (!ok && errors) Run("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -map 0:a:0 -f null - 2>&1", *errors);
    samples.resize(raw.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint8_t>(raw[2 * i]) |
                                                                static_cast<uint8_t>(raw[2 * i + 1]) << 8));
    }
    return ok;
}

bool RunFfmpeg(const std::string& arguments, const std::string& output, std::string* errors) {
    std::string said;
    const bool ok = Run("ffmpeg -nostdin -v error -y " + arguments + " " + ShellQuote(output) + " 2>&1", said);
    if (errors) *errors = said;
    return ok;
}

namespace {

bool ReadFlvPackets(const std::string& path, uint8_t wanted, std::vector<std::vector<uint8_t>>& packets) {
    packets.clear();
    const std::string text = ReadFileBytes(path);
    const std::vector<uint8_t> flv(text.begin(), text.end());
    if (flv.size() < 13 || flv[0] != 'F' || flv[1] != 'L' || flv[2] != 'V') return false;
    const size_t headerBytes = size_t{flv[5]} << 24 | size_t{flv[6]} << 16 | size_t{flv[7]} << 8 | flv[8];
    size_t at = headerBytes + 4;  // the first PreviousTagSize
    while (at + 11 <= flv.size()) {
        const uint8_t type = flv[at] & 0x1F;
        const size_t size = size_t{flv[at + 1]} << 16 | size_t{flv[at + 2]} << 8 | flv[at + 3];
        const size_t body = at + 11;
        if (body + size > flv.size()) return false;
        if (type == wanted && size > 1) packets.emplace_back(flv.begin() + static_cast<ptrdiff_t>(body + 1),
                                                        flv.begin() + static_cast<ptrdiff_t>(body + size));
        at = body + size + 4;
    }
    return !packets.empty();
}

}  // namespace

bool ReadFlvAudioPackets(const std::string& path, std::vector<std::vector<uint8_t>>& packets) {
    return ReadFlvPackets(path, 8, packets);
}

bool ReadFlvVideoPackets(const std::string& path, std::vector<std::vector<uint8_t>>& packets) {
    return ReadFlvPackets(path, 9, packets);
}

}  // namespace testing_support
