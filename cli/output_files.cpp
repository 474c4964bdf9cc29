#include "cli/output_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace cli {

namespace fs = std::filesystem;

namespace {

int ProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

}  // namespace

bool SameTarget(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec)) return true;
    const fs::path na = fs::weakly_canonical(fs::absolute(a, ec), ec);
    const fs::path nb = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return !na.empty() && na == nb;
}

bool CheckNewFile(const std::string& path, const std::string& movie, Existing existing, const std::string& what,
                  std::string& error) {
    if (SameTarget(path, movie)) {
        error = what + " " + path + " is the movie itself";
        return false;
    }
    fs::path parent = fs::path(path).parent_path();
    if (parent.empty()) parent = ".";
    std::error_code ec;
    if (!fs::is_directory(parent, ec)) {
        error = "cannot create " + path + ": the folder " + parent.string() + " is not there";
        return false;
    }
#ifndef _WIN32
    if (access(parent.c_str(), W_OK) != 0) {
        error = "cannot create " + path + ": the folder " + parent.string() + " is not writable (" +
                std::strerror(errno) + ")";
        return false;
    }
#endif
    if (fs::exists(path, ec)) {
        if (fs::is_directory(path, ec)) {
            error = "cannot create " + path + ": it is a folder";
            return false;
        }
        if (existing == Existing::kKeep) {
            error = path + " exists: not replaced (-n)";
            return false;
        }
        if (existing == Existing::kRefuse) {
            error = path + " exists: give -y to replace it";
            return false;
        }
    }
    return true;
}

PartFile::PartFile(const std::string& finalPath, bool replace) { start(finalPath, replace); }

void PartFile::start(const std::string& finalPath, bool replace) {
    discard();
    given_ = final_ = finalPath;
    replace_ = replace;
    std::error_code ec;
    // A device or a pipe (/dev/null, /dev/full, a FIFO) is written as it is: renaming a file
    // over it would replace it. A link is followed to the file it names.
    const fs::file_status status = fs::status(finalPath, ec);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        part_ = final_;
        done_ = true;
        return;
    }
    if (fs::is_symlink(fs::symlink_status(finalPath, ec))) {
        const fs::path target = fs::canonical(finalPath, ec);
        if (!ec) final_ = target.string();
    }
    done_ = false;
    const fs::path f(final_);
    const std::string name = "." + f.stem().string() + ".tevlin-" + std::to_string(ProcessId()) + f.extension().string();
    part_ = (f.parent_path() / name).string();
}

PartFile::~PartFile() { discard(); }

void PartFile::discard() {
    if (done_) return;
    std::error_code ec;
    fs::remove(part_, ec);
    done_ = true;
}

std::string PartFile::named(std::string text) const {
    if (part_.empty() || part_ == given_) return text;
    for (size_t at = text.find(part_); at != std::string::npos; at = text.find(part_, at + given_.size())) {
        text.replace(at, part_.size(), given_);
    }
    return text;
}

bool PartFile::commit(std::string& error) {
    if (done_) return true;
    std::error_code ec;
    if (replace_) {
        fs::rename(part_, final_, ec);
        if (ec) {
            error = "cannot put " + part_ + " in place as " + final_ + ": " + ec.message();
            return false;
        }
        done_ = true;
        return true;
    }
    // Without replacing: a hard link fails when the name is taken, so another run's file
    // that appeared meanwhile stays as it is.
#ifdef _WIN32
    const bool taken = std::rename(part_.c_str(), final_.c_str()) != 0 && fs::exists(final_, ec);
    if (!taken && !fs::exists(part_, ec)) {
        done_ = true;
        return true;
    }
#else
    bool taken = false;
    if (link(part_.c_str(), final_.c_str()) == 0) {
        unlink(part_.c_str());
        done_ = true;
        return true;
    }
    taken = errno == EEXIST;
    if (!taken && !fs::exists(final_, ec)) {
        // A file system without hard links: rename, after looking.
        fs::rename(part_, final_, ec);
        if (!ec) {
            done_ = true;
            return true;
        }
    }
#endif
    done_ = true;  // kept under its hidden name
    error = taken ? final_ + " was made by another program while this one ran: it is kept, and this run's file is " + part_
                  : "cannot put " + part_ + " in place as " + final_;
    return false;
}

TraceOutput::~TraceOutput() {
    if (ours_ && file_ != nullptr) std::fclose(file_);
}

bool TraceOutput::open(const std::string& path, bool replace, std::string& error) {
    if (path == "-") {
        file_ = stdout;
        return true;
    }
    part_.start(path, replace);
    file_ = std::fopen(part_.path().c_str(), "wb");
    if (file_ == nullptr) {
        error = "cannot create the trace file " + path + ": " + std::strerror(errno);
        part_.discard();
        return false;
    }
    ours_ = true;
    return true;
}

bool TraceOutput::commit(std::string& error) {
    if (file_ == nullptr) return true;
    if (!ours_) {
        if (std::fflush(file_) != 0 || std::ferror(file_)) {
            error = std::string("writing the trace to the standard output failed: ") + std::strerror(errno);
            return false;
        }
        return true;
    }
    const bool failed = std::ferror(file_) != 0;
    const int savedErrno = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    ours_ = false;
    if (failed || !closed) {
        error = "writing the trace file " + part_.finalPath() + " failed: " + std::strerror(failed ? savedErrno : errno);
        part_.discard();
        return false;
    }
    return part_.commit(error);
}

}  // namespace cli
