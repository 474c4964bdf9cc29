#include "support/ffmpeg_tools.h"

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
    // passthrough: one output frame per stored frame, none duplicated or dropped by timing.
    const std::string command = "ffmpeg -nostdin -v error -i " + ShellQuote(path) +
                                " -fps_mode passthrough -f rawvideo -pix_fmt bgra - 2>/dev/null";
    const bool ok = Run(command, frames);
    if (!ok && errors) Run("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f null - 2>&1", *errors);
    return ok;
}

}  // namespace testing_support
