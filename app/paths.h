#pragma once
// The program directory, the reduction of a path to its file name, and the one message box
// through which the program tells the user of a failure.

#include <cstddef>

inline constexpr size_t kProgramPathBytes = 1024;  // the program's own path buffers
inline constexpr size_t kShellPathBytes = 260;     // a path that comes from the shell
inline constexpr size_t kMessageBoxTextBytes = 512;

// The directory of the program's executable, with forward slashes and no trailing
// separator (a root keeps its separator: "C:/", "/"). Empty until FindProgramDir, and
// empty when the executable's path can't be learned or does not fit.
extern char g_szProgramDir[kProgramPathBytes];

// Fills g_szProgramDir from the executable's own path. False (and an empty directory, with
// a log line) when that path is unknown or longer than the buffer holds.
bool FindProgramDir();

// Stores `directory` in g_szProgramDir with every backslash made a forward slash. False,
// leaving it empty, when the directory does not fit. FindProgramDir's last step.
bool StoreProgramDir(const char* directory);

// Reduces the path in its buffer to the part after the last '/' or '\', and drops one
// closing double quote from that part. A path without a usable file-name part is left as
// it is, and so is one whose file name is 1024 characters or longer (with a log line).
void RemoveFilePath(char* path);

// Formats "<text> (Error: <code in lowercase hex>)" into `out`, cut to fit.
void FormatErrorMessage(char* out, size_t outBytes, const char* text, int code);

// Shows the formatted text in a modal message box (captioned "Error" by the system) and
// returns once it is dismissed. Outside Windows the same text goes to standard error.
void ShowErrorMessage(const char* text, int code);
