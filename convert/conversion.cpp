#include "convert/conversion.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <vector>

namespace convert {

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

Outcome ConvertToAvi(movie::Engine& engine, const Job& job) {
    Outcome out;
    const Clock::time_point start = Clock::now();
    avi::AviWriter* writer =
        avi::OpenAviWriter(job.output.c_str(), job.framePeriodMs, nullptr, avi::AviBackendKind::kRiff);
    if (writer == nullptr) {
        out.status = Outcome::Status::kCannotCreate;
        return out;
    }
    if (job.rate != 0 && job.scale != 0) avi::SetAviWriterRate(writer, job.rate, job.scale);
    if (job.audio) {
        avi::WaveFormatEx pcm;
        pcm.wFormatTag = 1;
        pcm.nChannels = movie::kSoundChannels;
        pcm.nSamplesPerSec = movie::kSoundRate;
        pcm.wBitsPerSample = 16;
        pcm.nBlockAlign = static_cast<uint16_t>(pcm.nChannels * 2);
        pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
        avi::EnableAviWriterAudio(writer, &pcm);
    }
    std::vector<int16_t> sound;
    uint64_t silence = 0;  // sample frames of silence before the movie's first sound
    TransparentFrames transparent;
    FrameMaker& maker = job.frames != nullptr ? *job.frames : transparent;
    const int total = job.last >= job.first ? job.last - job.first + 1 : 0;
    avi::AviResult status = avi::avierr::kOk;
    try {
        std::vector<uint32_t> pixels(static_cast<size_t>(job.width) * static_cast<size_t>(job.height));
        const raster::Target target =
            raster::Target::BottomUp(pixels.data(), job.width, job.height, static_cast<ptrdiff_t>(job.width) * 4);
        const avi::DibFrame frame = avi::MakeDibFrame(job.width, job.height, pixels.data());
        avi::AviCompressOptions uncompressed;
        uncompressed.fccHandler = avi::kHandlerUncompressed;
        status = avi::SetAviWriterCompression(writer, &frame, &uncompressed, false, nullptr);
        for (int k = job.first; k <= job.last && status == avi::avierr::kOk; ++k) {
            const Clock::time_point t0 = Clock::now();
            engine.gotoFrame(k);
            const Clock::time_point t1 = Clock::now();
            maker.draw(engine, target);
            const Clock::time_point t2 = Clock::now();
            maker.compose(target);
            const Clock::time_point t3 = Clock::now();
            if (job.audio) {
                const bool heard = engine.mixAudio(sound);
                const size_t count = sound.size() / movie::kSoundChannels;
                if (heard && !out.sound) {
                    out.sound = true;
                    status = avi::AppendAviSilence(writer, silence);
                }
                if (out.sound) {
                    if (status == avi::avierr::kOk) {
                        status = avi::AppendAviAudio(writer, sound.data(), static_cast<uint32_t>(sound.size() * 2));
                    }
                } else {
                    silence += count;
                }
            }
            const Clock::time_point t4 = Clock::now();
            if (status == avi::avierr::kOk) status = avi::AppendAviFrame(writer, &frame);
            const Clock::time_point t5 = Clock::now();
            out.timings.step += Ms(t1 - t0);
            out.timings.draw += Ms(t2 - t1);
            out.timings.compose += Ms(t3 - t2);
            out.timings.sound += Ms(t4 - t3);
            out.timings.write += Ms(t5 - t4);
            if (status == avi::avierr::kOk) ++out.written;
            if (job.progress) job.progress(out.written, total);
        }
    } catch (const std::bad_alloc&) {
        out.status = Outcome::Status::kOutOfMemory;  // the file is closed on the frames written so far
    }
    const avi::AviResult closed = avi::CloseAviWriter(writer);
    if (out.status == Outcome::Status::kDone && (status != avi::avierr::kOk || closed != avi::avierr::kOk)) {
        out.status = Outcome::Status::kWriteFailed;
        out.error = status != avi::avierr::kOk ? status : closed;
    }
    out.timings.total = Ms(Clock::now() - start);
    return out;
}

}  // namespace convert
