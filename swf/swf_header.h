#pragma once
// The SWF file header: signature, version, length, frame size and frame rate.
// The reader checks a file and publishes the frame size and rate in MovieHeader.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "swf/bit_reader.h"

namespace swf {

inline constexpr uint32_t kMinSwfFileLength = 21;  // 8 header bytes + the smallest RECT, rate, count
// The largest uncompressed movie image the reader will hold. Movies are far smaller; a
// header that claims more is refused before anything is allocated.
inline constexpr uint64_t kMaxSwfImageBytes = 512ull * 1024 * 1024;
inline constexpr unsigned kInflateFailurePauseMs = 1000;

// What the program learns from a header. Only a successful read writes it.
struct MovieHeader {
    int32_t frameWidth = 800;   // whole pixels: (Xmax - Xmin) / 20, truncated toward zero
    int32_t frameHeight = 600;  // whole pixels: (Ymax - Ymin) / 20
    int32_t frameRate = 25;     // whole frames per second: the integer byte of the 8.8 rate
    // The full 8.8 fixed-point rate (256 = 1 frame per second). Kept beside the whole rate so
    // that movies slower than one frame per second still get a sound frame period.
    uint16_t frameRate88 = 25 << 8;
};

// The program-wide header of the current job.
extern MovieHeader g_movieHeader;

// The AVI frame period of a movie, in whole milliseconds. Whole rates of 1 and more give
// 1000 / rate (integer division: 25 gives 40, 30 gives 33). Rates below one frame per second
// have a whole rate of 0, which must never be divided by: they take their period from the
// full 8.8 rate, rounded, at most kMaxFramePeriodMs; a rate of exactly 0 plays at one frame
// per second.
inline constexpr int32_t kMaxFramePeriodMs = 60000;
inline constexpr int32_t kZeroRateFramePeriodMs = 1000;
int32_t FramePeriodMs(const MovieHeader& header);

// The 8.8 rate as frames a second, rate / scale in lowest terms (24 fps is 24/1, 12.5 is
// 25/2); a rate of 0 plays at one frame a second.
struct ExactRate {
    uint32_t rate = 1, scale = 1;
};
ExactRate ExactFrameRate(uint16_t rate88);

class SwfHeaderReader {
public:
    using PauseFunction = void (*)(unsigned milliseconds);

    SwfHeaderReader() = default;
    SwfHeaderReader(const SwfHeaderReader&) = delete;
    SwfHeaderReader& operator=(const SwfHeaderReader&) = delete;

    // Reads and checks the file's header. True when the frame size and rate were decoded and
    // published in `target`; false when the file is not a readable SWF file, and then
    // `target` is untouched. The image is always freed before returning.
    bool readFile(const char* path, MovieHeader& target = g_movieHeader);
    void releaseImage();

    // Bit-level access to the image at the cursor, as readFile uses it.
    uint32_t readBits(unsigned n);
    struct Rect {
        int32_t xMin, xMax, yMin, yMax;
    };
    Rect readRect();

    // Inflates a zlib body. False for a damaged, cut or empty stream, or one that would
    // inflate to more than expectedLength bytes.
    static bool inflateBody(const uint8_t* source, size_t sourceLength, size_t expectedLength,
                            std::vector<uint8_t>& out);

    // readFile pauses after an inflate failure; tests replace the pause to observe it.
    void setPauseFunction(PauseFunction pause) { pause_ = pause; }

    // For tests and callers that inspect a reader between steps.
    bool holdsImage() const { return !image_.empty(); }
    uint32_t declaredLength() const { return declaredLength_; }
    size_t cursor() const { return bits_.cursor(); }

    // Lets tests load an image without a file, then decode it with readRect and readBits.
    void setImageForTest(std::vector<uint8_t> image, size_t cursor);

private:
    bool readImage(const char* path);
    bool decodeFields(MovieHeader& target);
    void reset();

    std::vector<uint8_t> image_;  // header bytes as read, then the (inflated) body
    size_t filled_ = 0;           // bytes of image_ that hold file data
    uint32_t declaredLength_ = 0;
    PauseFunction pause_ = nullptr;
    BitReader bits_;              // reads image_[0, filled_)
};

}  // namespace swf
