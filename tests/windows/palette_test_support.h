// A loaded module with its palette opened through the menu callback, and the small
// readers and drivers the palette tests share.
#pragma once

#include <windows.h>

#include <string>

#include "tests/windows/plugin_fixture.h"

class PaletteFixture : public PluginTest {
protected:
    // Starts from an empty profile in memory as well as on disk.
    void SetUp() override;
    // Loads the module and runs Init; the menu and view callbacks are then known.
    bool Start();
    // The menu command (event 100); returns the palette window, or null when none exists.
    HWND Open();
    // A press and release in a map view (events 310, 311); returns the press's answer.
    long Press();
    // The value the module wrote (or the test stored) under `key`.
    unsigned ProfileInt(const char* key) const;

    HPI_CALLBACK menu_ = nullptr;
    HPI_CALLBACK viewHook_ = nullptr;
};

// The palette of this thread: a visible-or-not dialog with the palette's caption.
HWND FindPalette();
// Dispatches every pending message of this thread, the way a host's loop would.
void PumpMessages();
std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);
RECT ClientRectOf(HWND parent, HWND child);
int SliderPos(HWND palette, int id);
// Index of the pressed method button 0..3, -1 when none is.
int PressedMethod(HWND palette);
bool Enabled(HWND palette, int id);
// BM_CLICK on a button, which notifies the palette as a mouse click does.
void Click(HWND palette, int id);
// Replaces the edit box's text and tells the palette, as typing does.
void TypeAltitude(HWND palette, const wchar_t* text);
