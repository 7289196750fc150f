// Scripted sessions: a plain text file of commands, one per line, that drive devhost and
// the plug-in as a user would. ScriptCommandsHelp lists the commands (devhost.exe --help
// prints it). A failing command stops the script with its line number and the reason.
#pragma once

#include <windows.h>

#include <string>

namespace devhost {

struct ScriptResult {
    bool ok = true;
    int line = 0;
    std::string reason;
};

// The commands a script may use, one or more lines each, for --help.
const char* ScriptCommandsHelp();

ScriptResult RunScript(HWND mainWindow, const std::string& utf8Path, const std::string& outputFolder);

}  // namespace devhost
