// PNG screenshots of devhost's windows, taken from the screen so that owned windows
// (the palette) lying over the main window are in the picture.
#pragma once

#include <windows.h>

#include <string>

// Writes the screen area of `window` (frame and menu included) to a PNG file.
bool SaveWindowScreenshot(HWND window, const std::string& utf8Path, std::string* error);
// Writes the bounding box of the given windows.
bool SaveScreenshotOfWindows(const HWND* windows, int count, const std::string& utf8Path,
                             std::string* error);
