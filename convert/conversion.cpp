#include "convert/conversion.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "convert/avi_sink.h"

namespace convert {

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// One frame on its way: its pixels and its sound.
struct Slot {
    std::vector<uint32_t> pixels;
    std::vector<int16_t> sound;
    bool heard = false;
};

// Makes the frames of the range, one slot at a time, and times it.
class FrameSource {
public:
    FrameSource(movie::Engine& engine, const Job& job, bool bottomUp, Timings& timings)
        : engine_(engine), job_(job), bottomUp_(bottomUp), timings_(timings),
          maker_(job.frames != nullptr ? *job.frames : transparent_) {}

    void make(int k, Slot& slot) {
        const size_t pixels = static_cast<size_t>(job_.width) * static_cast<size_t>(job_.height);
        if (slot.pixels.size() != pixels) slot.pixels.assign(pixels, 0);
        const ptrdiff_t pitch = static_cast<ptrdiff_t>(job_.width) * 4;
        const raster::Target target = bottomUp_ ? raster::Target::BottomUp(slot.pixels.data(), job_.width, job_.height, pitch)
                                                : raster::Target::TopDown(slot.pixels.data(), job_.width, job_.height, pitch);
        const Clock::time_point t0 = Clock::now();
        engine_.gotoFrame(k);
        const Clock::time_point t1 = Clock::now();
        maker_.draw(engine_, target);
        const Clock::time_point t2 = Clock::now();
        maker_.compose(target);
        const Clock::time_point t3 = Clock::now();
        slot.heard = job_.audio && engine_.mixAudio(slot.sound);
        if (!job_.audio) slot.sound.clear();
        const Clock::time_point t4 = Clock::now();
        timings_.step += Ms(t1 - t0);
        timings_.draw += Ms(t2 - t1);
        timings_.compose += Ms(t3 - t2);
        timings_.sound += Ms(t4 - t3);
    }

private:
    movie::Engine& engine_;
    const Job& job_;
    bool bottomUp_;
    Timings& timings_;
    TransparentFrames transparent_;
    FrameMaker& maker_;
};

SinkFrame FrameOf(Slot& slot) {
    SinkFrame f;
    f.pixels = slot.pixels.data();
    f.samples = slot.sound.data();
    f.sampleFrames = slot.sound.size() / movie::kSoundChannels;
    f.heard = slot.heard;
    return f;
}

bool StopAsked(const Job& job) { return job.stop != nullptr && job.stop->load(std::memory_order_relaxed); }

// Steps, draws and writes one frame after the other.
void ConvertOnOneThread(movie::Engine& engine, const Job& job, FrameSink& sink, Outcome& out) {
    const int total = job.last >= job.first ? job.last - job.first + 1 : 0;
    FrameSource source(engine, job, sink.bottomUp(), out.timings);
    Slot slot;
    for (int k = job.first; k <= job.last; ++k) {
        if (StopAsked(job)) {
            out.stopped = true;
            break;
        }
        source.make(k, slot);
        const Clock::time_point t0 = Clock::now();
        const bool written = sink.write(FrameOf(slot));
        out.timings.write += Ms(Clock::now() - t0);
        if (!written) {
            out.status = Outcome::Status::kWriteFailed;
            break;
        }
        ++out.written;
        if (job.progress) job.progress(out.written, total);
    }
}

// The engine on the caller's thread, the file on a thread of its own, frames passed between
// them in a few slots: the engine draws into a free slot while the writer writes a full one.
class Pipeline {
public:
    // One frame drawn while another is written, and one more to even out their pace; two
    // for frames so large that a third would weigh.
    static constexpr size_t kSlots = 3;
    static constexpr size_t kLargeFrameBytes = size_t{64} << 20;

    Pipeline(movie::Engine& engine, const Job& job, FrameSink& sink, Outcome& out)
        : engine_(engine), job_(job), sink_(sink), out_(out),
          slots_(static_cast<size_t>(job.width) * static_cast<size_t>(job.height) * 4 > kLargeFrameBytes ? 2 : kSlots) {
        for (size_t i = 0; i < slots_.size(); ++i) free_.push_back(i);
    }

    void run() {
        std::thread writer([this] { write(); });
        produce();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            produced_ = true;
        }
        changed_.notify_all();
        writer.join();
        out_.timings.write = writeMs_;
        out_.written = written_;
        if (writerOutOfMemory_) {
            out_.status = Outcome::Status::kOutOfMemory;
        } else if (writeFailed_ && out_.status == Outcome::Status::kDone) {
            out_.status = Outcome::Status::kWriteFailed;
        }
    }

private:
    void produce() {
        FrameSource source(engine_, job_, sink_.bottomUp(), out_.timings);
        try {
            for (int k = job_.first; k <= job_.last; ++k) {
                if (StopAsked(job_)) {
                    out_.stopped = true;
                    return;
                }
                size_t slot = 0;
                {
                    std::unique_lock<std::mutex> lock(mutex_);
                    changed_.wait(lock, [this] { return !free_.empty() || writerDone_; });
                    if (writerDone_) return;  // the file failed: nothing more goes into it
                    slot = free_.front();
                    free_.pop_front();
                }
                source.make(k, slots_[slot]);
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    full_.push_back(slot);
                }
                changed_.notify_all();
            }
        } catch (const std::bad_alloc&) {
            out_.status = Outcome::Status::kOutOfMemory;  // the frames made so far are still written
        }
    }

    void write() {
        const int total = job_.last >= job_.first ? job_.last - job_.first + 1 : 0;
        while (true) {
            size_t slot = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return !full_.empty() || produced_; });
                if (full_.empty()) return;
                slot = full_.front();
                full_.pop_front();
            }
            bool ok = false;
            const Clock::time_point t0 = Clock::now();
            try {
                ok = sink_.write(FrameOf(slots_[slot]));
            } catch (const std::bad_alloc&) {
                writerOutOfMemory_ = true;
            }
            writeMs_ += Ms(Clock::now() - t0);
            if (!ok) {
                writeFailed_ = true;
                std::lock_guard<std::mutex> lock(mutex_);
                writerDone_ = true;
                changed_.notify_all();
                return;
            }
            ++written_;
            if (job_.progress) job_.progress(written_, total);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                free_.push_back(slot);
            }
            changed_.notify_all();
        }
    }

    movie::Engine& engine_;
    const Job& job_;
    FrameSink& sink_;
    Outcome& out_;
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<size_t> free_, full_;  // under mutex_
    bool produced_ = false;           // under mutex_: no more frames will come
    bool writerDone_ = false;         // under mutex_: the writer has stopped early
    // The writer thread's own, read after it is joined.
    int written_ = 0;
    double writeMs_ = 0;
    bool writeFailed_ = false, writerOutOfMemory_ = false;
};

}  // namespace

Outcome Convert(movie::Engine& engine, const Job& job, FrameSink& sink) {
    Outcome out;
    const Clock::time_point start = Clock::now();
    try {
        if (job.threads > 1) {
            Pipeline(engine, job, sink, out).run();
        } else {
            ConvertOnOneThread(engine, job, sink, out);
        }
    } catch (const std::bad_alloc&) {
        out.status = Outcome::Status::kOutOfMemory;  // the file is closed on the frames written so far
    }
    const bool closed = sink.close();
    if (out.status == Outcome::Status::kDone && !closed) out.status = Outcome::Status::kWriteFailed;
    if (out.status == Outcome::Status::kWriteFailed) out.error = sink.error();
    out.sound = sink.hasSound();
    out.timings.total = Ms(Clock::now() - start);
    return out;
}

std::unique_ptr<FrameSink> OpenAviSinkFor(const Job& job, std::string& error) {
    AviSinkSettings settings;
    settings.path = job.output;
    settings.width = job.width;
    settings.height = job.height;
    settings.framePeriodMs = job.framePeriodMs;
    settings.rate = job.rate;
    settings.scale = job.scale;
    settings.audio = job.audio;
    settings.alpha = job.alpha;
    return OpenAviSink(settings, error);
}

Outcome ConvertToAvi(movie::Engine& engine, const Job& job) {
    std::string error;
    const std::unique_ptr<FrameSink> sink = OpenAviSinkFor(job, error);
    if (sink == nullptr) {
        Outcome out;
        out.status = Outcome::Status::kCannotCreate;
        out.error = error;
        return out;
    }
    return Convert(engine, job, *sink);
}

}  // namespace convert
