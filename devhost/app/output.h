// Where devhost's printed lines go. devhost is a GUI program, so it starts without a
// console: a double click or try-sample.cmd opens no console window. What it prints
// still reaches whoever runs it:
//   - output its starter redirected (a file or a pipe, as scripts, CI and the tests do)
//     is written there as it is;
//   - --log FILE sends stdout and stderr into FILE instead;
//   - otherwise a run that prints for somebody (a script, a headless run, --help, a bad
//     option) writes into the console of the program that started it, if it has one.
#pragma once

#include <string>

namespace devhost {

// Sets up stdout and stderr as above; false, with the reason, when the log cannot be written.
bool RouteOutput(const std::wstring& logPath, bool toStartersConsole, std::string* error);

}  // namespace devhost
