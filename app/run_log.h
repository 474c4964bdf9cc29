#pragma once
// The run log: "log.txt", one timestamped line per event of the run.
//
// Each line reads "<local time> -- [threadId=<id>]\t --- debug\t<message>", the message
// bringing its own line break. The file is never held open: every line opens, appends,
// flushes and closes it, so it can be read while the program runs and survives a crash.
// The log never reports failures of its own and never stops its caller.

#include <cstddef>
#include <cstdint>

inline constexpr size_t kRunLogPathBytes = 260;
inline constexpr size_t kRunLogMessageBytes = 5000;
inline constexpr size_t kRunLogLineBytes = 5000;
inline constexpr size_t kRunLogTimestampBytes = 256;
inline constexpr int32_t kRunLogOutputOn = 2;

struct RunLogState {
    char logPath[kRunLogPathBytes];  // empty until RunLog::open
    int32_t outputMode;              // 0 until RunLog::open, kRunLogOutputOn afterwards
};

// Zero-filled at load; lines are written only once RunLog::open has run.
extern RunLogState g_runLog;

namespace RunLog {

// Empties (or creates) the file and switches output on. The name is kept and resolved
// against the working directory at every write. A name that does not fit in 260 bytes is
// refused: nothing is opened, output stays off, and the result is false.
bool open(const char* name);

// printf-style. Writes one line; a message cut to fit its 5000-byte buffer still ends in
// a line break. Always true: a line that can't be written is dropped silently.
bool write(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Nothing to release: lines written after it are still written.
bool close();

// Composes one line from its pieces into `line` (lineBytes long), cutting it so that it
// still ends in the message's line break. Exposed for tests.
void composeLine(char* line, size_t lineBytes, const char* timestamp, int threadId,
                 const char* message, bool messageWasCut);

// Formats a local time as "YYYY-MM-DD hh:mm:ss" (at least four digits of year, two of the
// rest, leading zeros). Exposed for tests.
void formatTimestamp(char* out, size_t outBytes, int year, int month, int day, int hour,
                     int minute, int second);

}  // namespace RunLog
