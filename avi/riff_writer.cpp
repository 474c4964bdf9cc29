#include "avi/riff_writer.h"

#include <algorithm>
#include <limits>
#include <new>

#include "avi/avi_backend.h"
#include "avi/byte_writer.h"

namespace avi {

namespace {

constexpr uint32_t kRiff = FourCC('R', 'I', 'F', 'F');
constexpr uint32_t kList = FourCC('L', 'I', 'S', 'T');
// By stream: the video's uncompressed DIB frames, the audio's wave data.
constexpr uint32_t kChunkId[2] = {FourCC('0', '0', 'd', 'b'), FourCC('0', '1', 'w', 'b')};
constexpr uint32_t kStdIndexId[2] = {FourCC('i', 'x', '0', '0'), FourCC('i', 'x', '0', '1')};
constexpr uint32_t kStreamTypeAudio = FourCC('a', 'u', 'd', 's');
constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint32_t kAvifIsInterleaved = 0x100;
// Audio queued for one frame: far more than any frame's share, far less than memory.
constexpr size_t kMaxPendingAudioBytes = size_t{64} << 20;

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
    if (hasStream_) return avierr::kError;  // one video stream per file
    if (info.dwScale == 0 || info.dwRate == 0) return avierr::kBadParam;
    info_ = info;
    hasStream_ = true;
    // Until a format arrives, the stream is described by its frame rectangle alone.
    format_ = BitmapInfoHeader();
    format_.biWidth = info.frameRight;
    format_.biHeight = info.frameBottom;
    return avierr::kOk;
}

AviResult RiffAviFile::createAudioStream(const WaveFormatEx& format) {
    if (hasAudio_ || headersWritten_) return avierr::kError;
    const bool pcm16 = format.wFormatTag == kWaveFormatPcm && format.wBitsPerSample == 16 && format.nChannels > 0 &&
                       format.nChannels <= 8 && format.nSamplesPerSec > 0 &&
                       format.nBlockAlign == format.nChannels * 2 &&
                       format.nAvgBytesPerSec == format.nSamplesPerSec * format.nBlockAlign;
    if (!pcm16) return avierr::kBadFormat;
    audioFormat_ = format;
    audioFormat_.cbSize = 0;
    hasAudio_ = true;
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

// A stream's super index, with room for every segment the file may have: one entry for each
// segment whose standard index is written, with the stream's duration in that segment (frames
// for video, blocks for audio).
void RiffAviFile::writeSuperIndex(ByteWriter& w, int stream) const {
    const size_t indx = w.beginChunk(FourCC('i', 'n', 'd', 'x'));
    w.u16(4);  // longs per entry
    w.u8(0);   // sub type
    w.u8(kIndexOfIndexes);
    uint32_t closed = 0;
    for (const Segment& s : segments_) closed += s.indexStart[stream] ? 1 : 0;
    w.u32(closed);
    w.u32(kChunkId[stream]);
    w.zeros(12);
    for (const Segment& s : segments_) {
        if (!s.indexStart[stream]) continue;
        w.u64(s.indexStart[stream]);
        w.u32(s.indexBytes[stream]);
        const uint64_t duration = stream == kVideo ? s.frames : s.audioBlocks;
        w.u32(static_cast<uint32_t>(std::min<uint64_t>(duration, UINT32_MAX)));
    }
    w.zeros(static_cast<size_t>(options_.indexEntries - std::min(closed, options_.indexEntries)) * kSuperIndexEntryBytes);
    w.endChunk(indx);
}

void RiffAviFile::writeVideoHeader(ByteWriter& w) const {
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

    writeSuperIndex(w, kVideo);
    w.endChunk(strl);
}

// Audio as blocks of the format: one block a sample of every channel, a rate of samples
// a second over a scale of 1.
void RiffAviFile::writeAudioHeader(ByteWriter& w) const {
    const size_t strl = w.beginList(kList, FourCC('s', 't', 'r', 'l'));
    const size_t strh = w.beginChunk(FourCC('s', 't', 'r', 'h'));
    w.u32(kStreamTypeAudio);
    w.u32(0);  // handler
    w.u32(0);  // flags
    w.u16(0);  // priority
    w.u16(0);  // language
    w.u32(0);  // initial frames
    w.u32(1);  // scale
    w.u32(audioFormat_.nSamplesPerSec);
    w.u32(0);  // start
    w.u32(static_cast<uint32_t>(std::min<uint64_t>(audioBlocks_, UINT32_MAX)));
    w.u32(largestAudioChunk_);
    w.u32(0xFFFFFFFFu);  // quality: default
    w.u32(audioFormat_.nBlockAlign);
    w.zeros(8);  // frame rectangle
    w.endChunk(strh);

    const size_t strf = w.beginChunk(FourCC('s', 't', 'r', 'f'));
    w.raw(&audioFormat_, sizeof audioFormat_);
    w.endChunk(strf);

    writeSuperIndex(w, kAudio);
    w.endChunk(strl);
}

std::vector<uint8_t> RiffAviFile::buildHeaders() const {
    const Segment* first = segments_.empty() ? nullptr : &segments_.front();
    const uint32_t firstFrames = first ? first->frames : 0;
    // Before the end the audio stream may still come; at the end it is there only when it
    // holds sound.
    const bool audioListed = hasAudio_ && (audioBlocks_ > 0 || !first || first->riffEnd == 0);
    ByteWriter w;
    const size_t riff = w.beginList(kRiff, FourCC('A', 'V', 'I', ' '));
    const size_t hdrl = w.beginList(kList, FourCC('h', 'd', 'r', 'l'));

    const size_t avih = w.beginChunk(FourCC('a', 'v', 'i', 'h'));
    const uint64_t periodUs = static_cast<uint64_t>(info_.dwScale) * 1000000u / std::max<uint32_t>(info_.dwRate, 1);
    w.u32(static_cast<uint32_t>(std::min<uint64_t>(periodUs, UINT32_MAX)));
    uint64_t bytesPerSec = info_.dwScale ? static_cast<uint64_t>(format_.biSizeImage) * info_.dwRate / info_.dwScale : 0;
    if (audioListed) bytesPerSec += audioFormat_.nAvgBytesPerSec;
    w.u32(static_cast<uint32_t>(std::min<uint64_t>(bytesPerSec, UINT32_MAX)));
    w.u32(0);              // padding granularity
    w.u32((indexLost_ ? 0 : kAvifHasIndex) | (hasAudio_ ? kAvifIsInterleaved : 0));
    w.u32(firstFrames);    // frames in the first RIFF list; dmlh has them all
    w.u32(0);              // initial frames
    w.u32((hasStream_ ? 1 : 0) + (audioListed ? 1 : 0));
    w.u32(std::max(info_.dwSuggestedBufferSize, largestAudioChunk_));
    w.u32(static_cast<uint32_t>(format_.biWidth));
    w.u32(static_cast<uint32_t>(format_.biHeight < 0 ? -static_cast<int64_t>(format_.biHeight) : format_.biHeight));
    w.zeros(16);
    w.endChunk(avih);

    if (hasStream_) writeVideoHeader(w);
    if (hasAudio_) {
        ByteWriter audio;
        writeAudioHeader(audio);
        if (audioListed) {
            w.raw(audio.bytes().data(), audio.size());
        } else {
            // Silence throughout: the stream's room stays, as a chunk readers skip.
            const size_t junk = w.beginChunk(FourCC('J', 'U', 'N', 'K'));
            w.zeros(audio.size() - kChunkHeaderBytes);
            w.endChunk(junk);
        }
    }

    const size_t odml = w.beginList(kList, FourCC('o', 'd', 'm', 'l'));
    const size_t dmlh = w.beginChunk(FourCC('d', 'm', 'l', 'h'));
    w.u32(totalFrames_);
    w.zeros(kDmlhBytes - 4);
    w.endChunk(dmlh);
    w.endChunk(odml);
    w.endChunk(hdrl);

    const size_t movi = w.beginList(kList, FourCC('m', 'o', 'v', 'i'));
    if (first && first->riffEnd != 0) {
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
    if (segments_.size() >= options_.indexEntries) return avierr::kFileFull;
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

std::vector<uint8_t> RiffAviFile::standardIndex(int stream) const {
    const Segment& s = segments_.back();
    ByteWriter ix;
    const size_t ixAt = ix.beginChunk(kStdIndexId[stream]);
    ix.u16(2);  // longs per entry
    ix.u8(0);
    ix.u8(kIndexOfChunks);
    ix.u32(static_cast<uint32_t>(segmentIndex_[stream].size()));
    ix.u32(kChunkId[stream]);
    ix.u64(s.riffStart);  // base offset
    ix.u32(0);
    for (const StdIndexEntry& e : segmentIndex_[stream]) {
        ix.u32(e.offset);
        ix.u32(e.size);  // bit 31 clear: every chunk is a key frame
    }
    ix.endChunk(ixAt);
    return ix.bytes();
}

// Closes the open segment: its standard indexes end its 'movi' list (the video's always,
// the audio's when the segment holds audio); the first segment also gets the legacy 'idx1'
// index after its 'movi' list.
AviResult RiffAviFile::endSegment() {
    Segment& s = segments_.back();
    for (int stream : {kVideo, kAudio}) {
        if (stream == kAudio && segmentIndex_[kAudio].empty()) continue;
        const std::vector<uint8_t> ix = standardIndex(stream);
        const uint64_t indexStart = position_;
        if (!append(ix.data(), ix.size())) return avierr::kFileWrite;
        s.indexStart[stream] = indexStart;
        s.indexBytes[stream] = static_cast<uint32_t>(ix.size());
        segmentIndex_[stream].clear();
    }

    s.moviEnd = position_;
    if (segments_.size() == 1) {
        // Written a block at a time: the index of a long file takes no second copy in memory.
        const uint64_t payload = legacyIndex_.size() * uint64_t{kLegacyIndexEntryBytes};
        if (payload > UINT32_MAX) return avierr::kBadSize;
        ByteWriter block;
        block.u32(FourCC('i', 'd', 'x', '1'));
        block.u32(static_cast<uint32_t>(payload));
        constexpr size_t kBlockEntries = 4096;
        for (size_t i = 0; i < legacyIndex_.size(); ++i) {
            const LegacyEntry& e = legacyIndex_[i];
            block.u32(kChunkId[e.stream]);
            block.u32(kIndexFlagKeyFrame);
            block.u32(static_cast<uint32_t>(e.position - (s.moviStart + kChunkHeaderBytes)));
            block.u32(e.size);
            if ((i + 1) % kBlockEntries == 0) {
                if (!append(block.bytes().data(), block.size())) return avierr::kFileWrite;
                block = ByteWriter();
            }
        }
        if (block.size() > 0 && !append(block.bytes().data(), block.size())) return avierr::kFileWrite;
        legacyIndex_ = std::vector<LegacyEntry>();
    }
    s.riffEnd = position_;
    return avierr::kOk;
}

uint64_t RiffAviFile::segmentBytesIfClosedNow(uint64_t extraBytes, uint64_t extraChunks) const {
    const Segment& s = segments_.back();
    uint64_t bytes = position_ + extraBytes - s.riffStart;
    const uint64_t audio = segmentIndex_[kAudio].size() + (hasAudio_ ? extraChunks : 0);
    const uint64_t video = segmentIndex_[kVideo].size() + extraChunks;
    bytes += kChunkHeaderBytes + kStdIndexHeaderBytes + video * kStdIndexEntryBytes;
    if (audio > 0) bytes += kChunkHeaderBytes + kStdIndexHeaderBytes + audio * kStdIndexEntryBytes;
    if (segments_.size() == 1) bytes += kChunkHeaderBytes + (video + audio) * kLegacyIndexEntryBytes;
    return bytes;
}

AviResult RiffAviFile::queueAudio(const void* data, uint32_t size) {
    if (!hasAudio_) return avierr::kError;
    if (size % audioFormat_.nBlockAlign != 0) return avierr::kBadParam;
    if (pendingAudio_.size() + size > kMaxPendingAudioBytes) return avierr::kBadSize;
    const auto* bytes = static_cast<const uint8_t*>(data);
    pendingAudio_.insert(pendingAudio_.end(), bytes, bytes + size);
    return avierr::kOk;
}

AviResult RiffAviFile::queueSilence(uint64_t blocks) {
    if (!hasAudio_) return avierr::kError;
    // At most a day of it: the file could not hold more in any case.
    if (pendingSilence_ + blocks > uint64_t{audioFormat_.nSamplesPerSec} * 86400) return avierr::kBadSize;
    pendingSilence_ += blocks;
    return avierr::kOk;
}

bool RiffAviFile::appendChunk(int stream, const void* data, uint32_t size) {
    const uint64_t chunkStart = position_;
    uint8_t header[kChunkHeaderBytes];
    for (int i = 0; i < 4; ++i) header[i] = static_cast<uint8_t>(kChunkId[stream] >> (8 * i));
    for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<uint8_t>(size >> (8 * i));
    const uint8_t pad = 0;
    if (!append(header, sizeof header) || !append(data, size) || ((size & 1) && !append(&pad, 1))) return false;
    Segment& s = segments_.back();
    segmentIndex_[stream].push_back({static_cast<uint32_t>(chunkStart + kChunkHeaderBytes - s.riffStart), size});
    if (segments_.size() == 1) legacyIndex_.push_back({chunkStart, size, stream});
    return true;
}

AviResult RiffAviFile::writeFrame(const void* data, uint32_t size) {
    if (!headersWritten_) return avierr::kBadFormat;
    if (broken_) return avierr::kFileWrite;
    if (totalFrames_ == std::numeric_limits<uint32_t>::max()) return avierr::kBadSize;
    // The frame's audio in chunks of at most a second (its silence first), then the frame.
    const uint32_t second = hasAudio_ ? audioFormat_.nAvgBytesPerSec : 1;
    const uint64_t silenceBytes = pendingSilence_ * audioFormat_.nBlockAlign;
    const uint64_t audioChunks = (silenceBytes + second - 1) / second + (pendingAudio_.size() + second - 1) / second;
    const uint64_t bytes = ChunkBytes(size) + silenceBytes + pendingAudio_.size() + audioChunks * (kChunkHeaderBytes + 1);
    if (segmentBytesIfClosedNow(bytes, 1 + audioChunks) > options_.segmentBytes) {
        if (segments_.back().frames == 0) return avierr::kBadSize;  // would not fit anywhere
        // The header has room for so many segments: the last stays open for the close.
        if (segments_.size() >= options_.indexEntries) return avierr::kFileFull;
        if (AviResult r = endSegment(); r != avierr::kOk) return r;
        if (AviResult r = startSegment(); r != avierr::kOk) return r;
        if (segmentBytesIfClosedNow(bytes, 1 + audioChunks) > options_.segmentBytes) return avierr::kBadSize;
    }
    const uint64_t frameStart = position_;
    const size_t entries[2] = {segmentIndex_[kVideo].size(), segmentIndex_[kAudio].size()};
    const size_t legacyEntries = legacyIndex_.size();
    bool ok = true;
    if (silenceBytes > 0) {
        const std::vector<uint8_t> silence(static_cast<size_t>(std::min<uint64_t>(second, silenceBytes)), 0);
        for (uint64_t at = 0; ok && at < silenceBytes; at += second) {
            const auto chunk = static_cast<uint32_t>(std::min<uint64_t>(second, silenceBytes - at));
            ok = appendChunk(kAudio, silence.data(), chunk);
            largestAudioChunk_ = std::max(largestAudioChunk_, chunk);
        }
    }
    for (size_t at = 0; ok && at < pendingAudio_.size(); at += second) {
        const auto chunk = static_cast<uint32_t>(std::min<size_t>(second, pendingAudio_.size() - at));
        ok = appendChunk(kAudio, pendingAudio_.data() + at, chunk);
        largestAudioChunk_ = std::max(largestAudioChunk_, chunk);
    }
    ok = ok && appendChunk(kVideo, data, size);
    if (!ok) {
        // Neither the frame nor its audio: the partial chunks are cut off at finish.
        position_ = frameStart;
        segmentIndex_[kVideo].resize(entries[kVideo]);
        segmentIndex_[kAudio].resize(entries[kAudio]);
        legacyIndex_.resize(legacyEntries);
        pendingAudio_.clear();
        pendingSilence_ = 0;
        return avierr::kFileWrite;
    }
    Segment& s = segments_.back();
    // The format is a packed structure: its fields are read by value, never bound to references.
    const uint16_t blockAlign = audioFormat_.nBlockAlign;
    const uint64_t blocks = pendingSilence_ + pendingAudio_.size() / std::max<uint16_t>(blockAlign, 1);
    s.audioBlocks += blocks;
    audioBlocks_ += blocks;
    pendingAudio_.clear();
    pendingSilence_ = 0;
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
    pendingAudio_.clear();  // audio without its frame stays out
    pendingSilence_ = 0;
    if (ok) {
        // The indexes need room at the end of the file. When they cannot be written (the disk
        // is full, or memory runs out), the file ends with the last frame instead and its
        // header still counts every frame: readers find them by walking the file.
        const uint64_t dataEnd = position_;
        AviResult closed = avierr::kFileWrite;
        try {
            closed = endSegment();
        } catch (const std::bad_alloc&) {
            closed = avierr::kMemory;
        }
        if (closed != avierr::kOk) {
            broken_ = false;
            indexLost_ = true;
            position_ = dataEnd;
            Segment& s = segments_.back();
            for (int stream : {kVideo, kAudio}) {
                s.indexStart[stream] = 0;
                s.indexBytes[stream] = 0;
            }
            s.moviEnd = s.riffEnd = dataEnd;
            sink_->seek(dataEnd) && sink_->truncate(dataEnd);
        }
    }
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
    if (!ok) return avierr::kFileWrite;
    return indexLost_ ? avierr::kIndexLost : avierr::kOk;
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
    AviResult createAudioStream(const WaveFormatEx& format) override { return file_.createAudioStream(format); }
    AviResult queueAudio(const void* data, uint32_t size) override { return file_.queueAudio(data, size); }
    AviResult queueSilence(uint64_t blocks) override { return file_.queueSilence(blocks); }
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
