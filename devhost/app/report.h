// How devhost tells its user about failures and asks its questions. A headless run
// (--quit) has nobody to answer a message box: texts go to stderr, questions take their
// headless answer, and every reported failure makes the exit code non-zero.
#pragma once

#include <windows.h>

#include <string>

namespace devhost {

void SetHeadless(bool headless);
bool IsHeadless();
// A message box owned by `owner`, or stderr when headless.
void ReportError(HWND owner, const std::wstring& text);
// A notice that is no failure: a message box, or stdout when headless.
void Inform(HWND owner, const std::wstring& text);
// Whether any failure was reported during this run.
bool FailureReported();
// MessageBoxW's answer, or `headlessAnswer` (said on stderr) when headless.
int Ask(HWND owner, const std::wstring& text, UINT type, int headlessAnswer);

}  // namespace devhost
