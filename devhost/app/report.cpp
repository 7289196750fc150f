#include "devhost/app/report.h"

#include <cstdio>

#include "host/utf8_win.h"

namespace devhost {
namespace {

const wchar_t kCaption[] = L"devhost";
bool g_headless = false;
bool g_failed = false;

}  // namespace

void SetHeadless(bool headless) { g_headless = headless; }
bool IsHeadless() { return g_headless; }
bool FailureReported() { return g_failed; }

void ReportError(HWND owner, const std::wstring& text) {
    g_failed = true;
    if (g_headless) {
        std::fprintf(stderr, "devhost: %s\n", Narrow(text).c_str());
        return;
    }
    ::MessageBoxW(owner, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
}

void Inform(HWND owner, const std::wstring& text) {
    if (g_headless) {
        std::printf("devhost: %s\n", Narrow(text).c_str());
        return;
    }
    ::MessageBoxW(owner, text.c_str(), kCaption, MB_OK | MB_ICONINFORMATION);
}

int Ask(HWND owner, const std::wstring& text, UINT type, int headlessAnswer) {
    if (!g_headless) return ::MessageBoxW(owner, text.c_str(), kCaption, type);
    const char* answer = headlessAnswer == IDYES ? "yes" : headlessAnswer == IDNO ? "no" : "cancel";
    std::fprintf(stderr, "devhost: %s (answered \"%s\": nobody is there to answer)\n", Narrow(text).c_str(), answer);
    return headlessAnswer;
}

}  // namespace devhost
