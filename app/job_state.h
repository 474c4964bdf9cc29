#pragma once
// The job-control variables that the drop window and the job loop share. All zero at start;
// both users run on the one thread, so no locks.

#include <windows.h>

#include "app/paths.h"

extern char g_szFileName[kShellPathBytes];  // the pending movie path
extern bool g_bJobPending;                  // a path waits in g_szFileName
extern char g_szJobFile[kProgramPathBytes];  // the running job's own copy of the path
extern bool g_bJobRunning;                  // a job has started and frames are being captured
extern bool g_bQuit;                        // the drop window was closed
extern HWND g_hActiveDlg;                   // the drop window while it is active
