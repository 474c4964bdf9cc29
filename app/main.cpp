// tevlin.exe: converts SWF movies dropped on its window, or the one named on its command
// line, into AVI files with alpha in its own directory.
#include <windows.h>

#include "app/job_loop.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) { return RunProgram(instance, commandLine); }
