#include "app/run_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

RunLogState g_runLog;

namespace {

struct LocalTime {
    int year, month, day, hour, minute, second;
};

LocalTime NowLocal() {
#ifdef _WIN32
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
#else
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
#endif
}

int CurrentThreadId() {
#ifdef _WIN32
    return static_cast<int>(GetCurrentThreadId());
#else
    return static_cast<int>(syscall(SYS_gettid));
#endif
}

// Ends a cut text in a line break, within its buffer.
void EndWithLineBreak(char* text, size_t bytes) {
    if (bytes >= 2) {
        text[bytes - 2] = '\n';
        text[bytes - 1] = '\0';
    }
}

}  // namespace

namespace RunLog {

bool open(const char* name) {
    if (name == nullptr || std::strlen(name) >= kRunLogPathBytes) return false;
    std::memcpy(g_runLog.logPath, name, std::strlen(name) + 1);
    if (FILE* f = std::fopen(g_runLog.logPath, "w")) std::fclose(f);
    g_runLog.outputMode = kRunLogOutputOn;
    return true;
}

void composeLine(char* line, size_t lineBytes, const char* timestamp, int threadId,
                 const char* message, bool messageWasCut) {
    const int needed = std::snprintf(line, lineBytes, "%s -- [threadId=%d]\t --- %s\t%s",
                                     timestamp, threadId, "debug", message);
    const size_t messageLength = std::strlen(message);
    const bool endsInBreak = messageWasCut || (messageLength > 0 && message[messageLength - 1] == '\n');
    if (needed < 0) {
        line[0] = '\0';
    } else if (static_cast<size_t>(needed) >= lineBytes && endsInBreak) {
        EndWithLineBreak(line, lineBytes);
    }
}

void formatTimestamp(char* out, size_t outBytes, int year, int month, int day, int hour,
                     int minute, int second) {
    std::snprintf(out, outBytes, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                  second);
}

bool write(const char* format, ...) {
    char message[kRunLogMessageBytes];
    va_list args;
    va_start(args, format);
    const int needed = std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    if (needed < 0) message[0] = '\0';
    const bool cut = needed >= static_cast<int>(sizeof message);
    if (cut) EndWithLineBreak(message, sizeof message);

    if (g_runLog.outputMode != kRunLogOutputOn) return true;

    const LocalTime t = NowLocal();
    char timestamp[kRunLogTimestampBytes];
    formatTimestamp(timestamp, sizeof timestamp, t.year, t.month, t.day, t.hour, t.minute, t.second);
    char line[kRunLogLineBytes];
    composeLine(line, sizeof line, timestamp, CurrentThreadId(), message, cut);

    // Text mode: on Windows each "\n" is stored as CR LF.
    if (FILE* f = std::fopen(g_runLog.logPath, "a")) {
        std::fputs(line, f);
        std::fflush(f);
        std::fclose(f);
    }
    return true;
}

bool close() { return true; }

}  // namespace RunLog
