#pragma once
// Our own AVI file writer: one uncompressed video stream in RIFF form, and beside it, when
// asked for, one PCM audio stream interleaved frame by frame.
//
// A file starts as a plain AVI 1.0 file ('RIFF' 'AVI ' with an 'idx1' index). When the
// first RIFF list would pass kRiffSegmentBytes, the file continues as OpenDML (AVI 2.0):
// further 'RIFF' 'AVIX' lists, each with its own 'movi' list and 'ix00' standard index,
// all listed in the stream's 'indx' super index, with the total frame count in 'dmlh'.
// Every segment carries its 'ix00', so the file reads the same in both worlds. Audio
// chunks ('01wb') go before the frame they belong to, in 'idx1' and in the segment's 'ix01'
// listed in the audio stream's own super index. An audio stream that never received a
// sample is left out: its header becomes a JUNK chunk of the same size.
//
// After a failed write the file is still closed properly: it is cut back to the frames
// that were written whole (each with its audio) and its headers and indexes describe
// exactly those.

#include <cstdint>
#include <memory>
#include <vector>

#include "avi/avi_types.h"
#include "avi/file_sink.h"

namespace avi {

class ByteWriter;

// Each RIFF list stays below this size: the customary limit that keeps 32-bit readers safe.
inline constexpr uint64_t kRiffSegmentBytes = 1ull << 30;
// Room in the super index, reserved in the header (16 bytes an entry for each stream): the
// most segments a file has. Segments of 1 GiB give 2 TiB a file, 4 hours of 1080p at 60 fps.
inline constexpr uint32_t kSuperIndexEntries = 2048;

struct RiffWriterOptions {
    uint64_t segmentBytes = kRiffSegmentBytes;  // tests lower it to make OpenDML files small
    uint32_t indexEntries = kSuperIndexEntries;  // and this, to keep the header small with them
};

class RiffAviFile {
public:
    RiffAviFile(std::unique_ptr<FileSink> sink, const RiffWriterOptions& options);
    ~RiffAviFile();
    RiffAviFile(const RiffAviFile&) = delete;
    RiffAviFile& operator=(const RiffAviFile&) = delete;

    AviResult createVideoStream(const VideoStreamInfo& info);
    // Adds the audio stream: 16-bit PCM only. Before the format is set.
    AviResult createAudioStream(const WaveFormatEx& format);
    AviResult setFormat(const BitmapInfoHeader& format);
    // Audio to go into the file before the next frame: whole blocks of the stream's format.
    AviResult queueAudio(const void* data, uint32_t size);
    // Silence of `blocks` blocks to go before the queued audio, without holding it in memory.
    AviResult queueSilence(uint64_t blocks);
    // Appends the queued audio (in chunks of at most a second) and the next frame as one
    // key-frame chunk; after a failure neither is in the file.
    AviResult writeFrame(const void* data, uint32_t size);
    // Writes the indexes and the final headers, and closes the file.
    AviResult finish();

    uint32_t framesWritten() const { return totalFrames_; }
    uint64_t audioBlocksWritten() const { return audioBlocks_; }

private:
    static constexpr int kVideo = 0, kAudio = 1;
    struct Segment {
        uint64_t riffStart = 0;  // position of the 'RIFF' fourcc
        uint64_t moviStart = 0;  // position of the 'LIST' fourcc of its 'movi' list
        // By stream: its standard index ('ix00', 'ix01'), once written, and its size with
        // the chunk header; 0 when the stream has no chunk in the segment.
        uint64_t indexStart[2] = {0, 0};
        uint32_t indexBytes[2] = {0, 0};
        uint32_t frames = 0;
        uint64_t audioBlocks = 0;
        uint64_t moviEnd = 0;    // end of its 'movi' list, once closed
        uint64_t riffEnd = 0;    // end of its RIFF list, once closed
    };
    struct LegacyEntry {
        uint64_t position;  // of the chunk's header
        uint32_t size;
        int stream;
    };
    struct StdIndexEntry {
        uint32_t offset;  // from the segment's riffStart to the frame's data
        uint32_t size;
    };

    AviResult writeHeaders();
    AviResult startSegment();
    AviResult endSegment();
    std::vector<uint8_t> buildHeaders() const;
    void writeVideoHeader(ByteWriter& w) const;
    void writeAudioHeader(ByteWriter& w) const;
    void writeSuperIndex(ByteWriter& w, int stream) const;
    bool writeAt(uint64_t position, const std::vector<uint8_t>& bytes);
    bool append(const void* data, size_t size);
    // Writes one chunk and indexes it; false when the write fails.
    bool appendChunk(int stream, const void* data, uint32_t size);
    uint64_t segmentBytesIfClosedNow(uint64_t extraBytes, uint64_t extraChunks) const;
    std::vector<uint8_t> standardIndex(int stream) const;

    std::unique_ptr<FileSink> sink_;
    RiffWriterOptions options_;
    bool hasStream_ = false;
    bool headersWritten_ = false;
    bool broken_ = false;  // a write failed; nothing more goes to the file but the trailer
    bool indexLost_ = false;  // closed without its indexes: they did not fit
    VideoStreamInfo info_;
    BitmapInfoHeader format_;

    uint64_t position_ = 0;      // where the next byte goes
    uint64_t headerBytes_ = 0;   // size of the header region, up to the first 'movi' fourcc
    std::vector<Segment> segments_;
    std::vector<StdIndexEntry> segmentIndex_[2];  // entries of the open segment, by stream
    std::vector<LegacyEntry> legacyIndex_;        // chunks of the first segment, for 'idx1'
    uint32_t totalFrames_ = 0;

    bool hasAudio_ = false;
    WaveFormatEx audioFormat_;
    std::vector<uint8_t> pendingAudio_;  // for the next frame
    uint64_t pendingSilence_ = 0;        // blocks of silence before it
    uint64_t audioBlocks_ = 0;           // written
    uint32_t largestAudioChunk_ = 0;
};

}  // namespace avi
