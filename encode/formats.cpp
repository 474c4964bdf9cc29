#include "encode/formats.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace encode {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool InList(const char* list, std::string_view word) {
    std::string_view rest(list);
    while (!rest.empty()) {
        const size_t space = rest.find(' ');
        if (rest.substr(0, space) == word) return true;
        if (space == std::string_view::npos) break;
        rest.remove_prefix(space + 1);
    }
    return false;
}

}  // namespace

const std::vector<CodecInfo>& Codecs() {
    static const std::vector<CodecInfo> codecs = {
        {"rawvideo", "rawvideo", "bgra", true, true, false, false, "uncompressed 32-bit BGRA"},
        {"utvideo", "utvideo", "gbrap", true, true, false, false, "Ut Video, lossless RGBA"},
        {"ffv1", "ffv1", "bgra", true, true, false, false, "FFV1, lossless BGRA"},
        {"png", "png", "rgba", true, true, false, false, "PNG, lossless RGBA"},
        {"qtrle", "qtrle", "argb", true, true, false, false, "QuickTime Animation (RLE), lossless ARGB"},
        {"prores", "prores_ks", "yuva444p10le", true, false, false, false, "ProRes 4444, 10-bit 4:4:4 with alpha"},
        {"vp9", "libvpx-vp9", "yuva420p", true, false, true, true, "VP9 with alpha, 4:2:0"},
        {"h264", "libx264", "yuv420p", false, false, true, true, "H.264, 4:2:0, over the background colour"},
    };
    return codecs;
}

const std::vector<ContainerInfo>& Containers() {
    static const std::vector<ContainerInfo> containers = {
        {"avi", "avi", ".avi", "rawvideo", "pcm_s16le", "rawvideo utvideo ffv1 png", false, "AVI (OpenDML past 1 GiB)"},
        {"mov", "mov", ".mov", "prores", "pcm_s16le", "prores qtrle png rawvideo h264", false, "QuickTime"},
        {"matroska", "matroska", ".mkv", "ffv1", "flac", "ffv1 utvideo png rawvideo prores vp9 h264", true, "Matroska"},
        {"webm", "webm", ".webm", "vp9", "libopus", "vp9", true, "WebM"},
        {"mp4", "mp4", ".mp4 .m4v", "h264", "aac", "h264", false, "MP4"},
        {"nut", "nut", ".nut", "rawvideo", "pcm_s16le", "rawvideo ffv1 utvideo png", true, "NUT"},
        {"image2", "image2", ".png", "png", "", "png", false, "a sequence of PNG images, one file a frame"},
    };
    return containers;
}

const CodecInfo* FindCodec(std::string_view name) {
    const std::string wanted = Lower(name);
    for (const CodecInfo& c : Codecs()) {
        if (wanted == c.name) return &c;
    }
    // ffmpeg's names for the same encoders.
    if (wanted == "prores_ks") return FindCodec("prores");
    if (wanted == "libvpx-vp9") return FindCodec("vp9");
    if (wanted == "libx264") return FindCodec("h264");
    return nullptr;
}

const ContainerInfo* FindContainer(std::string_view name) {
    const std::string wanted = Lower(name);
    for (const ContainerInfo& c : Containers()) {
        if (wanted == c.name) return &c;
    }
    if (wanted == "mkv") return FindContainer("matroska");
    if (wanted == "png" || wanted == "image") return FindContainer("image2");
    return nullptr;
}

bool IsSequencePattern(const std::string& path) {
    int conversions = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '%') continue;
        if (i + 1 < path.size() && path[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < path.size() && std::isdigit(static_cast<unsigned char>(path[j]))) ++j;
        if (j >= path.size() || path[j] != 'd') return false;
        ++conversions;
        i = j;
    }
    return conversions == 1;
}

const ContainerInfo* ContainerForPath(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return nullptr;
    const std::string extension = Lower(path.substr(dot));
    for (const ContainerInfo& c : Containers()) {
        if (!InList(c.extensions, extension)) continue;
        if (std::strcmp(c.name, "image2") == 0 && !IsSequencePattern(path)) continue;
        return &c;
    }
    return nullptr;
}

bool Holds(const ContainerInfo& container, std::string_view codec) { return InList(container.codecs, codec); }

bool Choose(const std::string& path, const std::string& format, const std::string& codec, Choice& choice,
            std::string& error) {
    choice = Choice();
    if (!format.empty()) {
        choice.container = FindContainer(format);
        if (choice.container == nullptr) {
            error = "unknown format " + format + " (formats: avi, mov, matroska, webm, mp4, nut, image2)";
            return false;
        }
    } else {
        choice.container = ContainerForPath(path);
        if (choice.container == nullptr) {
            const size_t dot = path.find_last_of('.');
            if (dot != std::string::npos && Lower(path.substr(dot)) == ".png") {
                error = "a PNG output is a sequence of images: name it with a frame number pattern, as frame%05d.png";
            } else {
                error = "cannot tell the format of " + path +
                        " from its name: give it the extension .avi, .mov, .mkv, .webm, .mp4, .nut or a "
                        "frame%05d.png pattern, or name the format with -f";
            }
            return false;
        }
    }
    choice.codec = FindCodec(codec.empty() ? choice.container->defaultCodec : codec);
    if (choice.codec == nullptr) {
        error = "unknown codec " + codec + " (codecs: rawvideo, utvideo, ffv1, png, qtrle, prores, vp9, h264)";
        return false;
    }
    if (!Holds(*choice.container, choice.codec->name)) {
        error = std::string("the ") + choice.container->name + " format cannot hold " + choice.codec->name +
                " (it holds " + choice.container->codecs + ")";
        return false;
    }
    choice.ownAviWriter =
        std::strcmp(choice.container->name, "avi") == 0 && std::strcmp(choice.codec->name, "rawvideo") == 0;
    return true;
}

bool ParseColor(std::string_view text, uint32_t& rgb) {
    static const struct {
        const char* name;
        uint32_t rgb;
    } kNames[] = {{"black", 0x000000}, {"white", 0xFFFFFF}, {"red", 0xFF0000},   {"green", 0x008000},
                  {"lime", 0x00FF00},  {"blue", 0x0000FF},  {"yellow", 0xFFFF00}, {"cyan", 0x00FFFF},
                  {"magenta", 0xFF00FF}, {"gray", 0x808080}, {"grey", 0x808080}, {"silver", 0xC0C0C0},
                  {"navy", 0x000080},  {"maroon", 0x800000}, {"purple", 0x800080}, {"teal", 0x008080},
                  {"olive", 0x808000}, {"orange", 0xFFA500}};
    const std::string lower = Lower(text);
    for (const auto& n : kNames) {
        if (lower == n.name) {
            rgb = n.rgb;
            return true;
        }
    }
    std::string_view hex(lower);
    if (!hex.empty() && hex[0] == '#') {
        hex.remove_prefix(1);
    } else if (hex.size() > 2 && hex[0] == '0' && hex[1] == 'x') {
        hex.remove_prefix(2);
    }
    if (hex.size() != 6) return false;
    uint32_t value = 0;
    for (const char c : hex) {
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return false;
        }
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    rgb = value;
    return true;
}

}  // namespace encode
