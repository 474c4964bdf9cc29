#pragma once
// The files the converter writes (videos, PNGs, trace files) are never half-written where a
// reader or another run can see them, and nothing is replaced by mistake: each is checked
// before the movie is loaded, written under a hidden name beside its final one, and renamed
// into place when it is whole.

#include <cstdio>
#include <string>

namespace cli {

// What may be done with a file that is already there.
enum class Existing { kRefuse, kReplace, kKeep };  // kRefuse: "give -y"; kKeep: -n

// Checks that `path` may be written: not the movie itself (in any spelling), not a folder,
// in a folder that is there (and writable, where that can be asked), and not already there
// unless `existing` allows it. `what` names the file in messages ("the output", "the trace
// file").
bool CheckNewFile(const std::string& path, const std::string& movie, Existing existing, const std::string& what,
                  std::string& error);

// Whether two names are the same file, there or not yet: the same path once made absolute
// and normal, or the same file on disk.
bool SameTarget(const std::string& a, const std::string& b);

// A file written under a hidden name in the final file's folder (".NAME.tevlin-PID.EXT"),
// renamed to the final name by commit(); removed if it never is. A device or pipe already
// there under the final name is written directly.
class PartFile {
public:
    PartFile() = default;
    PartFile(const std::string& finalPath, bool replace);
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    ~PartFile();

    // Names a new hidden file for `finalPath` (discarding the one before, if any).
    void start(const std::string& finalPath, bool replace);
    const std::string& path() const { return part_; }
    const std::string& finalPath() const { return final_; }
    // Renames the file into place. Without `replace`, a file that appeared under the final
    // name meanwhile (another run's) is kept, and so is this one, under its hidden name.
    bool commit(std::string& error);
    // Removes the hidden file (the run made nothing worth keeping).
    void discard();
    // A message about the hidden file, with the final name in its place: messages name the
    // file the user gave.
    std::string named(std::string text) const;

private:
    std::string given_, final_, part_;  // the name given, the file it leads to, the hidden one
    bool replace_ = false;
    bool done_ = true;
};

// The trace file: lines go to a hidden file, put in place by commit() once the run is over.
class TraceOutput {
public:
    TraceOutput() = default;
    TraceOutput(const TraceOutput&) = delete;
    TraceOutput& operator=(const TraceOutput&) = delete;
    ~TraceOutput();
    // "-" is the standard output.
    bool open(const std::string& path, bool replace, std::string& error);
    FILE* file() const { return file_; }
    // Flushes and closes the file and renames it into place; false (with the reason) when a
    // write failed.
    bool commit(std::string& error);

private:
    FILE* file_ = nullptr;
    bool ours_ = false;
    PartFile part_;
};

}  // namespace cli
