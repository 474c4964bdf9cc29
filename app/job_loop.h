#pragma once
// The program's entry and its one loop, which pumps window messages and, whenever none is
// waiting, does one unit of job work: starting the pending job or capturing one frame.

#include <windows.h>

// Releases everything a job holds: the AVI writer (completing the file), the player, the
// capture bitmaps and the host window. Safe to call with no job and to repeat.
void CleanupJob();

// Takes the command line as the pending job: the file of that name in the program
// directory. False (with a log line) when the line or the joined path does not fit.
bool TakeCommandLine(const char* commandLine);

// Starts the job waiting in g_szFileName. False when it can't start: the header can't be
// read, the frame size is refused, the movie does not load or the bitmaps can't be made.
bool StartPendingJob();

// One frame of the running job; true when the loop must end (one-shot mode, last frame).
// The drop window shows the progress, then "Done!" or, when the AVI file failed, the
// failure.
bool FrameStep(HWND dropWindow, bool oneShot);

// The progress bar's percentage after n of total frames, as the loop computes it.
int ProgressPercent(int n, int total);

inline constexpr char kJobFailedStatus[] = "Failed! See log.txt";

// The whole run: start-up, the loop, shutdown. Returns the exit code.
int RunProgram(HINSTANCE instance, const char* commandLine);
