#include "swf/swf_header.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <thread>
#include <chrono>

#include "base/file.h"
#include "base/inflate.h"
#include "base/lzma.h"

namespace swf {

MovieHeader g_movieHeader;

namespace {

constexpr size_t kHeaderBytes = 8;
constexpr size_t kRateBytes = 2;
constexpr size_t kFrameCountBytes = 2;

void SleepMs(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}


}  // namespace

int32_t FramePeriodMs(const MovieHeader& header) {
    if (header.frameRate >= 1) return 1000 / header.frameRate;
    if (header.frameRate88 == 0) return kZeroRateFramePeriodMs;
    // Below one frame per second: 1000 ms * 256 / rate88, rounded to the nearest ms.
    const int32_t period = (256000 + header.frameRate88 / 2) / header.frameRate88;
    return period > kMaxFramePeriodMs ? kMaxFramePeriodMs : period;
}

ExactRate ExactFrameRate(uint16_t rate88) {
    if (rate88 == 0) return ExactRate{};
    uint32_t a = rate88, b = 256;
    while (b != 0) {
        const uint32_t r = a % b;
        a = b;
        b = r;
    }
    return ExactRate{rate88 / a, 256 / a};
}

void SwfHeaderReader::reset() {
    image_.clear();
    image_.shrink_to_fit();
    filled_ = 0;
    declaredLength_ = 0;
    bits_ = BitReader();
}

void SwfHeaderReader::releaseImage() {
    image_.clear();
    image_.shrink_to_fit();
    filled_ = 0;
    declaredLength_ = 0;
}

void SwfHeaderReader::setImageForTest(std::vector<uint8_t> image, size_t cursor) {
    image_ = std::move(image);
    filled_ = image_.size();
    bits_ = BitReader(image_.data(), filled_, cursor);
}

uint32_t SwfHeaderReader::readBits(unsigned n) { return bits_.readBits(n); }

SwfHeaderReader::Rect SwfHeaderReader::readRect() {
    bits_.alignToByte();
    const unsigned nbits = bits_.readBits(5);
    Rect r{};
    r.xMin = bits_.readSignedBits(nbits);
    r.xMax = bits_.readSignedBits(nbits);
    r.yMin = bits_.readSignedBits(nbits);
    r.yMax = bits_.readSignedBits(nbits);
    return r;
}

bool SwfHeaderReader::inflateBody(const uint8_t* source, size_t sourceLength,
                                  size_t expectedLength, std::vector<uint8_t>& out) {
    return base::InflateZlib(source, sourceLength, expectedLength, out);
}

// Fills image_ with the uncompressed file: the 8 header bytes, then the body.
bool SwfHeaderReader::readImage(const char* path) {
    base::File file = base::OpenFile(path, "rb");
    if (!file) return false;

    uint8_t header[kHeaderBytes];
    if (std::fread(header, 1, kHeaderBytes, file.get()) != kHeaderBytes) return false;
    const bool lzma = header[0] == 'Z';
    const bool compressed = header[0] == 'C' || lzma;
    if (!compressed && header[0] != 'F') return false;
    if (header[1] != 'W' || header[2] != 'S') return false;
    declaredLength_ = ReadLe32(header + 4);
    if (declaredLength_ < kMinSwfFileLength) return false;
    if (declaredLength_ > kMaxSwfImageBytes) return false;

    // What the file can actually supply after its header. Checked before allocating, so
    // a header that claims gigabytes costs nothing.
    const int64_t fileSize = base::FileSize(file.get());
    if (fileSize < static_cast<int64_t>(kHeaderBytes)) return false;
    if (std::fseek(file.get(), static_cast<long>(kHeaderBytes), SEEK_SET) != 0) return false;
    const uint64_t available = static_cast<uint64_t>(fileSize) - kHeaderBytes;
    const uint64_t declaredBody = declaredLength_ - kHeaderBytes;

    if (!compressed) {
        if (available < declaredBody) return false;  // body shorter than declared
        try {
            image_.resize(declaredLength_);
        } catch (const std::bad_alloc&) {
            return false;
        }
        std::copy(header, header + kHeaderBytes, image_.begin());
        const size_t body = static_cast<size_t>(declaredBody);
        if (std::fread(image_.data() + kHeaderBytes, 1, body, file.get()) != body) return false;
        filled_ = declaredLength_;
        return true;
    }

    // Compressed: read at most declaredBody bytes of zlib data and inflate them. A short
    // read is not an error in itself; the inflate decides. LZMA data has its length and
    // properties first, and may come out a little longer than what it holds.
    const uint64_t most = lzma ? declaredBody + declaredBody / 8 + 1024 : declaredBody;
    const size_t toRead = static_cast<size_t>(available < most ? available : most);
    std::vector<uint8_t> packed;
    std::vector<uint8_t> body;
    bool inflated = false;
    try {
        packed.resize(toRead);
        const size_t got = toRead ? std::fread(packed.data(), 1, toRead, file.get()) : 0;
        constexpr size_t kLzmaDataAt = 4 + base::kLzmaPropertiesBytes;
        if (!lzma) {
            inflated = inflateBody(packed.data(), got, static_cast<size_t>(declaredBody), body);
        } else if (got > kLzmaDataAt) {
            inflated = base::InflateLzma(packed.data() + 4, packed.data() + kLzmaDataAt, got - kLzmaDataAt,
                                         static_cast<size_t>(declaredBody), body);
        }
    } catch (const std::bad_alloc&) {
        inflated = false;
    }
    file.reset();
    if (!inflated) {
        (pause_ ? pause_ : SleepMs)(kInflateFailurePauseMs);
        return false;
    }
    packed = std::vector<uint8_t>();
    try {
        image_.resize(kHeaderBytes + body.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::copy(header, header + kHeaderBytes, image_.begin());
    std::copy(body.begin(), body.end(), image_.begin() + kHeaderBytes);
    // Bytes past the inflated data were never filled: the bit reader stops before them.
    filled_ = image_.size();
    return true;
}

// Decodes the frame RECT and the rate. False when they lie past the filled bytes.
bool SwfHeaderReader::decodeFields(MovieHeader& target) {
    bits_ = BitReader(image_.data(), filled_, kHeaderBytes);
    const Rect rect = readRect();
    if (bits_.overrun()) return false;
    const size_t rateAt = bits_.cursor();
    if (rateAt + kRateBytes > filled_) return false;
    const uint8_t fraction = image_[rateAt];
    const uint8_t whole = image_[rateAt + 1];
    bits_.setCursor(rateAt + kRateBytes + kFrameCountBytes);  // the frame count is not read

    // Differences in 64 bits: two extreme 31-bit coordinates may not fit in 32.
    const int64_t width = (static_cast<int64_t>(rect.xMax) - rect.xMin) / 20;
    const int64_t height = (static_cast<int64_t>(rect.yMax) - rect.yMin) / 20;
    target.frameWidth = static_cast<int32_t>(width);
    target.frameHeight = static_cast<int32_t>(height);
    target.frameRate = whole;
    target.frameRate88 = static_cast<uint16_t>(whole << 8 | fraction);
    return true;
}

bool SwfHeaderReader::readFile(const char* path, MovieHeader& target) {
    reset();
    const bool ok = path != nullptr && readImage(path) && decodeFields(target);
    reset();
    return ok;
}

}  // namespace swf
