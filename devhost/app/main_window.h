// devhost's main window: a menu (File, Tools with the plug-ins' entries), a client area
// where the map view will live, and a status bar.
#pragma once

#include <windows.h>

#include <string>

namespace devhost {

const int kFirstPluginCommand = 40000;
// Posted to the main window when what it shows of a map may have changed (an edit, a
// save): the title follows.
const UINT kMessageMapChanged = WM_APP + 1;

HWND CreateMainWindow(HINSTANCE instance);
// Adds the plug-ins' registered menu entries to the Tools menu.
void RebuildToolsMenu(HWND mainWindow);
// Opens a map file and makes it the active base map; shows why when it cannot.
unsigned OpenMapFile(HWND mainWindow, const std::wstring& path);
HWND MapViewOf(HWND mainWindow);
// Moves the plug-in windows (owned by the main window) that cover its caption or menu bar
// to the screen's top-left corner, beside the main window.
void MovePluginWindowsOffMenu(HWND mainWindow);
void SetStatusText(HWND mainWindow, const std::wstring& text);
// The status bar's note on what the last edit did to the map's voids; empty when none.
std::wstring StatusNote(HWND mainWindow);
// Saves the map (under `path` when not null, as Save As does). Where the map's file
// system cannot lock it at all, asks whether to save without the lock (a headless run
// answers no, unless --no-lock allowed it beforehand). 1 saved.
int SaveMapAskingAboutLock(HWND mainWindow, unsigned map, const char* path);
// Painting over voids: the setting, and its check mark in the Settings menu.
void SetPaintVoids(HWND mainWindow, bool paint);
// The title: the map's file name, 読み取り専用 when it may not be written, and a `*`
// while edits are unsaved ("山 の 地図.map * - devhost").
void RefreshTitle(HWND mainWindow);
// The main window's keyboard shortcuts (Ctrl+O, Ctrl+S, Ctrl+Shift+S, Alt+F4) for a
// message of any window of the thread; true when the message was one and was handled.
// Every message loop of devhost's calls it before dispatching.
bool TranslateMainWindowKey(MSG* msg);

}  // namespace devhost
