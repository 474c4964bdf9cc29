#pragma once
// The drop window: a small modeless dialog (resource 101) that takes an SWF file dropped
// from the shell, shows the drop picture, a progress bar, a status line and the product's
// link, and hands its work to the job loop through the job state.

#include <windows.h>

INT_PTR CALLBACK DropWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void SetProgress(HWND dialog, int percent);
void SetStatusText(HWND dialog, const char* text);
// Stores the first dropped path as the pending job. A path too long for the pending slot is
// refused (with a log line) rather than cut, and the drop is always finished.
void OnDropFiles(HDROP drop);
// Where the window goes on a screen of the given size: centred, divisions truncating
// toward zero.
POINT CentredPosition(int screenWidth, int screenHeight, int windowWidth, int windowHeight);
