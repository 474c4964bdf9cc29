#include "avi/riff_writer.h"

#include <algorithm>
#include <limits>

#include "avi/avi_backend.h"
#include "avi/byte_writer.h"

namespace avi {

namespace {

constexpr uint32_t kRiff = FourCC('R', 'I', 'F', 'F');
constexpr uint32_t kList = FourCC('L', 'I', 'S', 'T');
constexpr uint32_t kFrameChunkId = FourCC('0', '0', 'd', 'b');  // stream 0, uncompressed DIB
constexpr uint32_t kStdIndexId = FourCC('i', 'x', '0', '0');

constexpr uint32_t kDmlhBytes = 248;
constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint8_t kIndexOfIndexes = 0x00;
constexpr uint8_t kIndexOfChunks = 0x01;
constexpr uint32_t kSuperIndexEntryBytes = 16;
constexpr uint32_t kStdIndexHeaderBytes = 24;    // after the chunk header
constexpr uint32_t kStdIndexEntryBytes = 8;
constexpr uint32_t kLegacyIndexEntryBytes = 16;
constexpr uint32_t kChunkHeaderBytes = 8;

uint64_t ChunkBytes(uint64_t payload) { return kChunkHeaderBytes + payload + (payload & 1); }

}  // namespace

RiffAviFile::RiffAviFile(std::unique_ptr<FileSink> sink, const RiffWriterOptions& options)
    : sink_(std::move(sink)), options_(options) {}

RiffAviFile::~RiffAviFile() {
    if (sink_) finish();
}

AviResult RiffAviFile::createVideoStream(const VideoStreamInfo& info) {
    if (hasStream_) return avierr::kError;  // one stream per file
    if (info.dwScale == 0 || info.dwRate == 0) return avierr::kBadParam;
    info_ = info;
    hasStream_ = true;
    // Until a format arrives, the stream is described by its frame rectangle alone.
    format_ = BitmapInfoHeader();
    format_.biWidth = info.frameRight;
    format_.biHeight = info.frameBottom;
    return avierr::kOk;
}

AviResult RiffAviFile::setFormat(const BitmapInfoHeader& format) {
    if (!hasStream_) return avierr::kError;
    if (headersWritten_) {
        // The format is fixed once frames may follow it; the same one again is harmless.
        return std::equal(reinterpret_cast<const uint8_t*>(&format),
                          reinterpret_cast<const uint8_t*>(&format) + sizeof format,
                          reinterpret_cast<const uint8_t*>(&format_))
                   ? avierr::kOk
                   : avierr::kBadFormat;
    }
    format_ = format;
    return writeHeaders();
}

std::vector<uint8_t> RiffAviFile::buildHeaders() const {
    const Segment* first = segments_.empty() ? nullptr : &segments_.front();
    const uint32_t firstFrames = first ? first->frames : 0;
    ByteWriter w;
    const size_t riff = w.beginList(kRiff, FourCC('A', 'V', 'I', ' '));
    const size_t hdrl = w.beginList(kList, FourCC('h', 'd', 'r', 'l'));

    const size_t avih = w.beginChunk(FourCC('a', 'v', 'i', 'h'));
    const uint64_t periodUs = static_cast<uint64_t>(info_.dwScale) * 1000000u / std::max<uint32_t>(info_.dwRate, 1);
    w.u32(static_cast<uint32_t>(std::min<uint64_t>(periodUs, UINT32_MAX)));
    const uint64_t bytesPerSec = info_.dwScale ? static_cast<uint64_t>(format_.biSizeImage) * info_.dwRate / info_.dwScale : 0;
    w.u32(static_cast<uint32_t>(std::min<uint64_t>(bytesPerSec, UINT32_MAX)));
    w.u32(0);              // padding granularity
    w.u32(kAvifHasIndex);
    w.u32(firstFrames);    // frames in the first RIFF list; dmlh has them all
    w.u32(0);              // initial frames
    w.u32(hasStream_ ? 1 : 0);
    w.u32(info_.dwSuggestedBufferSize);
    w.u32(static_cast<uint32_t>(format_.biWidth));
    w.u32(static_cast<uint32_t>(format_.biHeight < 0 ? -static_cast<int64_t>(format_.biHeight) : format_.biHeight));
    w.zeros(16);
    w.endChunk(avih);

    if (hasStream_) {
        const size_t strl = w.beginList(kList, FourCC('s', 't', 'r', 'l'));
        const size_t strh = w.beginChunk(FourCC('s', 't', 'r', 'h'));
        w.u32(info_.fccType);
        w.u32(info_.fccHandler);  // as the stream was created: 0
        w.u32(0);  // flags
        w.u16(0);  // priority
        w.u16(0);  // language
        w.u32(0);  // initial frames
        w.u32(info_.dwScale);
        w.u32(info_.dwRate);
        w.u32(0);  // start
        w.u32(totalFrames_);
        w.u32(info_.dwSuggestedBufferSize);
        w.u32(0);  // quality
        w.u32(0);  // sample size: video samples vary
        w.u16(0);
        w.u16(0);
        w.u16(static_cast<uint16_t>(info_.frameRight));
        w.u16(static_cast<uint16_t>(info_.frameBottom));
        w.endChunk(strh);

        const size_t strf = w.beginChunk(FourCC('s', 't', 'r', 'f'));
        w.raw(&format_, sizeof format_);
        w.endChunk(strf);

        // The super index, with room for every segment the file may have.
        const size_t indx = w.beginChunk(FourCC('i', 'n', 'd', 'x'));
        w.u16(4);  // longs per entry
        w.u8(0);   // sub type
        w.u8(kIndexOfIndexes);
        uint32_t closed = 0;
        for (const Segment& s : segments_) closed += s.indexStart ? 1 : 0;
        w.u32(closed);
        w.u32(kFrameChunkId);
        w.zeros(12);
        for (const Segment& s : segments_) {
            if (!s.indexStart) continue;
            w.u64(s.indexStart);
            w.u32(s.indexBytes);
            w.u32(s.frames);
        }
        w.zeros(static_cast<size_t>(kSuperIndexEntries - closed) * kSuperIndexEntryBytes);
        w.endChunk(indx);
        w.endChunk(strl);
    }

    const size_t odml = w.beginList(kList, FourCC('o', 'd', 'm', 'l'));
    const size_t dmlh = w.beginChunk(FourCC('d', 'm', 'l', 'h'));
    w.u32(totalFrames_);
    w.zeros(kDmlhBytes - 4);
    w.endChunk(dmlh);
    w.endChunk(odml);
    w.endChunk(hdrl);

    const size_t movi = w.beginList(kList, FourCC('m', 'o', 'v', 'i'));
    if (first && first->indexStart) {
        w.patch32(movi, static_cast<uint32_t>(first->moviEnd - (first->moviStart + kChunkHeaderBytes)));
        w.patch32(riff, static_cast<uint32_t>(first->riffEnd - kChunkHeaderBytes));
    }
    return w.bytes();
}

bool RiffAviFile::append(const void* data, size_t size) {
    if (broken_ || !sink_->write(data, size)) {
        broken_ = true;
        return false;
    }
    position_ += size;
    return true;
}

bool RiffAviFile::writeAt(uint64_t position, const std::vector<uint8_t>& bytes) {
    return sink_->seek(position) && sink_->write(bytes.data(), bytes.size());
}

AviResult RiffAviFile::writeHeaders() {
    std::vector<uint8_t> header = buildHeaders();
    headerBytes_ = header.size();
    if (!append(header.data(), header.size())) return avierr::kFileWrite;
    headersWritten_ = true;
    Segment s;
    s.riffStart = 0;
    s.moviStart = headerBytes_ - 12;
    segments_.push_back(s);
    return avierr::kOk;
}

AviResult RiffAviFile::startSegment() {
    if (segments_.size() >= kSuperIndexEntries) return avierr::kFileWrite;
    Segment s;
    s.riffStart = position_;
    s.moviStart = position_ + 12;
    ByteWriter w;
    w.beginList(kRiff, FourCC('A', 'V', 'I', 'X'));
    w.beginList(kList, FourCC('m', 'o', 'v', 'i'));
    if (!append(w.bytes().data(), w.size())) return avierr::kFileWrite;
    segments_.push_back(s);
    return avierr::kOk;
}

// Closes the open segment: its standard index ends its 'movi' list; the first segment
// also gets the legacy 'idx1' index after its 'movi' list.
AviResult RiffAviFile::endSegment() {
    Segment& s = segments_.back();
    ByteWriter ix;
    const size_t ixAt = ix.beginChunk(kStdIndexId);
    ix.u16(2);  // longs per entry
    ix.u8(0);
    ix.u8(kIndexOfChunks);
    ix.u32(static_cast<uint32_t>(segmentIndex_.size()));
    ix.u32(kFrameChunkId);
    ix.u64(s.riffStart);  // base offset
    ix.u32(0);
    for (const StdIndexEntry& e : segmentIndex_) {
        ix.u32(e.offset);
        ix.u32(e.size);  // bit 31 clear: every frame is a key frame
    }
    ix.endChunk(ixAt);
    const uint64_t indexStart = position_;
    if (!append(ix.bytes().data(), ix.size())) return avierr::kFileWrite;
    s.indexStart = indexStart;
    s.indexBytes = static_cast<uint32_t>(ix.size());
    segmentIndex_.clear();

    s.moviEnd = position_;
    if (segments_.size() == 1) {
        ByteWriter idx1;
        const size_t at = idx1.beginChunk(FourCC('i', 'd', 'x', '1'));
        for (const LegacyEntry& e : legacyIndex_) {
            idx1.u32(kFrameChunkId);
            idx1.u32(kIndexFlagKeyFrame);
            idx1.u32(static_cast<uint32_t>(e.position - (s.moviStart + kChunkHeaderBytes)));
            idx1.u32(e.size);
        }
        idx1.endChunk(at);
        if (!append(idx1.bytes().data(), idx1.size())) return avierr::kFileWrite;
        legacyIndex_ = std::vector<LegacyEntry>();
    }
    s.riffEnd = position_;
    return avierr::kOk;
}

uint64_t RiffAviFile::segmentBytesIfClosedNow(uint64_t extraChunk) const {
    const Segment& s = segments_.back();
    const uint64_t entries = segmentIndex_.size() + 1;
    uint64_t bytes = position_ + extraChunk - s.riffStart;
    bytes += kChunkHeaderBytes + kStdIndexHeaderBytes + entries * kStdIndexEntryBytes;
    if (segments_.size() == 1) bytes += kChunkHeaderBytes + entries * kLegacyIndexEntryBytes;
    return bytes;
}

AviResult RiffAviFile::writeFrame(const void* data, uint32_t size) {
    if (!headersWritten_) return avierr::kBadFormat;
    if (broken_) return avierr::kFileWrite;
    if (totalFrames_ == std::numeric_limits<uint32_t>::max()) return avierr::kBadSize;
    const uint64_t chunk = ChunkBytes(size);
    if (segmentBytesIfClosedNow(chunk) > options_.segmentBytes) {
        if (segments_.back().frames == 0) return avierr::kBadSize;  // would not fit anywhere
        if (AviResult r = endSegment(); r != avierr::kOk) return r;
        if (AviResult r = startSegment(); r != avierr::kOk) return r;
        if (segmentBytesIfClosedNow(chunk) > options_.segmentBytes) return avierr::kBadSize;
    }
    const uint64_t chunkStart = position_;
    uint8_t header[kChunkHeaderBytes];
    for (int i = 0; i < 4; ++i) header[i] = static_cast<uint8_t>(kFrameChunkId >> (8 * i));
    for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<uint8_t>(size >> (8 * i));
    const uint8_t pad = 0;
    if (!append(header, sizeof header) || !append(data, size) || ((size & 1) && !append(&pad, 1))) {
        position_ = chunkStart;  // the partial chunk is cut off at finish
        return avierr::kFileWrite;
    }
    Segment& s = segments_.back();
    segmentIndex_.push_back({static_cast<uint32_t>(chunkStart + kChunkHeaderBytes - s.riffStart), size});
    if (segments_.size() == 1) legacyIndex_.push_back({chunkStart, size});
    ++s.frames;
    ++totalFrames_;
    return avierr::kOk;
}

AviResult RiffAviFile::finish() {
    if (!sink_) return avierr::kOk;
    bool ok = true;
    if (!headersWritten_) ok = writeHeaders() == avierr::kOk;
    if (ok && broken_) {
        // Write the trailer where the last whole frame ended, over any partial chunk.
        broken_ = false;
        ok = sink_->seek(position_) && sink_->truncate(position_);
    }
    if (ok) ok = endSegment() == avierr::kOk;
    for (size_t i = 1; ok && i < segments_.size(); ++i) {
        const Segment& s = segments_[i];
        ByteWriter w;
        w.u32(kRiff);
        w.u32(static_cast<uint32_t>(s.riffEnd - s.riffStart - kChunkHeaderBytes));
        w.u32(FourCC('A', 'V', 'I', 'X'));
        w.u32(kList);
        w.u32(static_cast<uint32_t>(s.moviEnd - s.moviStart - kChunkHeaderBytes));
        w.u32(FourCC('m', 'o', 'v', 'i'));
        ok = writeAt(s.riffStart, w.bytes());
    }
    if (ok) {
        std::vector<uint8_t> header = buildHeaders();
        ok = header.size() == headerBytes_ && writeAt(0, header);
    }
    ok = sink_->close() && ok;
    sink_.reset();
    return ok ? avierr::kOk : avierr::kFileWrite;
}

// --- the backend over this file -------------------------------------------------------

namespace {

class RiffBackend final : public AviBackend {
public:
    explicit RiffBackend(std::unique_ptr<FileSink> sink, const RiffWriterOptions& options)
        : file_(std::move(sink), options) {}

    AviResult createVideoStream(const VideoStreamInfo& info) override {
        return file_.createVideoStream(info);
    }
    // No dialog here: the caller's options are the choice.
    AviResult chooseCompression(AviCompressOptions&, void*) override { return avierr::kOk; }
    AviResult makeCompressedStream(const AviCompressOptions& options) override {
        const bool videoCompressor = options.fccType == 0 || options.fccType == kCompressorType;
        const bool uncompressed = options.fccHandler == 0 || options.fccHandler == kHandlerUncompressed ||
                                  options.fccHandler == FourCC('d', 'i', 'b', ' ');
        return videoCompressor && uncompressed ? avierr::kOk : avierr::kNoCompressor;
    }
    void freeCompressOptions(AviCompressOptions&) override {}
    AviResult setFormat(const BitmapInfoHeader& format, uint32_t formatLength) override {
        if (format.biCompression != kBiRgb || formatLength != sizeof(BitmapInfoHeader)) {
            return avierr::kBadFormat;
        }
        return file_.setFormat(format);
    }
    AviResult writeSample(int32_t position, const void* data, uint32_t length) override {
        if (position < 0 || static_cast<uint32_t>(position) != file_.framesWritten()) {
            return avierr::kBadParam;  // samples go in order, one after the other
        }
        return file_.writeFrame(data, length);
    }
    AviResult close() override { return file_.finish(); }

private:
    RiffAviFile file_;
};

}  // namespace

std::unique_ptr<AviBackend> OpenRiffBackend(const char* path, const RiffWriterOptions& options) {
    std::unique_ptr<FileSink> sink = CreateFileSink(path);
    if (!sink) return nullptr;
    return std::make_unique<RiffBackend>(std::move(sink), options);
}

std::unique_ptr<AviBackend> OpenRiffBackend(std::unique_ptr<FileSink> sink, const RiffWriterOptions& options) {
    if (!sink) return nullptr;
    return std::make_unique<RiffBackend>(std::move(sink), options);
}

}  // namespace avi
