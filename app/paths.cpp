#include "app/paths.h"

#include <cstdio>
#include <cstring>

#include "app/run_log.h"

#ifdef _WIN32
#include <windows.h>
#include <shlwapi.h>
#else
#include <unistd.h>
#endif

char g_szProgramDir[kProgramPathBytes];

bool StoreProgramDir(const char* directory) {
    std::memset(g_szProgramDir, 0, sizeof g_szProgramDir);
    if (directory == nullptr) return false;
    const size_t length = std::strlen(directory);
    if (length >= sizeof g_szProgramDir) {
        RunLog::write("FindProgramDir: the program directory is longer than %d characters\n",
                      static_cast<int>(sizeof g_szProgramDir - 1));
        return false;
    }
    for (size_t i = 0; i <= length; ++i) {
        g_szProgramDir[i] = directory[i] == '\\' ? '/' : directory[i];
    }
    return true;
}

bool FindProgramDir() {
    std::memset(g_szProgramDir, 0, sizeof g_szProgramDir);
    char buffer[kProgramPathBytes] = {};
#ifdef _WIN32
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (length == 0) return false;
    if (length >= sizeof buffer) {  // cut to fit: the name is not the program's
        RunLog::write("FindProgramDir: the program path is longer than %d characters\n",
                      static_cast<int>(sizeof buffer - 1));
        return false;
    }
    PathRemoveFileSpecA(buffer);
#else
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0) return false;
    if (static_cast<size_t>(length) >= sizeof buffer) {
        RunLog::write("FindProgramDir: the program path is longer than %d characters\n",
                      static_cast<int>(sizeof buffer - 1));
        return false;
    }
    buffer[length] = '\0';
    char* slash = std::strrchr(buffer, '/');
    if (slash == buffer) {
        buffer[1] = '\0';  // the root keeps its separator
    } else if (slash != nullptr) {
        *slash = '\0';
    }
#endif
    return StoreProgramDir(buffer);
}

void RemoveFilePath(char* path) {
    if (path == nullptr) return;
    const size_t length = std::strlen(path);
    size_t last = length;  // position of the last separator, or length when there is none
    for (size_t i = 0; i < length; ++i) {
        if (path[i] == '/' || path[i] == '\\') last = i;
    }
    if (last == length || last + 1 == length) return;
    const size_t nameLength = length - last - 1;
    char name[kProgramPathBytes] = {};
    if (nameLength >= sizeof name) {
        RunLog::write("RemoveFilePath: the file name is longer than %d characters\n",
                      static_cast<int>(sizeof name - 1));
        return;
    }
    std::memcpy(name, path + last + 1, nameLength + 1);
    std::memcpy(path, name, nameLength + 1);
    if (path[nameLength - 1] == '"') path[nameLength - 1] = '\0';
}

void FormatErrorMessage(char* out, size_t outBytes, const char* text, int code) {
    std::snprintf(out, outBytes, "%s (Error: %x)", text ? text : "", static_cast<unsigned>(code));
}

void ShowErrorMessage(const char* text, int code) {
    char message[kMessageBoxTextBytes];
    FormatErrorMessage(message, sizeof message, text, code);
#ifdef _WIN32
    MessageBoxA(nullptr, message, nullptr, MB_OK);
#else
    std::fprintf(stderr, "%s\n", message);
#endif
}
