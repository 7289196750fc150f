// Recording plug-in message boxes. While capture is on, a plug-in loaded through
// DH_LoadPlugin has its imported MessageBoxW replaced by a recorder that answers at
// once, so tests and headless tours never block on a box nobody can click.
#include <cstring>
#include <cwchar>

#include "devhost/hpi/host_state.h"

namespace {

int WINAPI RecordMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    HostState& host = Host();
    if (host.messageBoxAnswer <= 0) return ::MessageBoxW(owner, text, caption, type);
    DH_MESSAGEBOX box = {};
    box.owner = owner;
    box.type = type;
    std::swprintf(box.caption, 128, L"%ls", caption != nullptr ? caption : L"");
    std::swprintf(box.text, 512, L"%ls", text != nullptr ? text : L"");
    host.messageBoxes.push_back(box);
    return host.messageBoxAnswer;
}

}  // namespace

// Replaces a module's import of `name` from the library `library` (any library when
// null); false when the module imports no such name.
static bool PatchImport(HMODULE module, const char* library, const char* name, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return false;
    auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    for (; import->Name != 0; ++import) {
        if (library != nullptr && _stricmp(reinterpret_cast<char*>(base + import->Name), library) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), name) != 0) continue;
            DWORD oldProtect = 0;
            void** slot = reinterpret_cast<void**>(&slots->u1.Function);
            if (!::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &oldProtect)) return false;
            *slot = replacement;
            ::VirtualProtect(slot, sizeof(void*), oldProtect, &oldProtect);
            return true;
        }
    }
    return false;
}

bool CaptureMessageBoxesOf(HMODULE module) {
    return PatchImport(module, "user32.dll", "MessageBoxW", reinterpret_cast<void*>(&RecordMessageBox));
}

extern "C" {

HMODULE DH_LoadPlugin(const wchar_t* path) {
    HMODULE module = ::LoadLibraryW(path);
    if (module != nullptr) CaptureMessageBoxesOf(module);
    return module;
}

int DH_CaptureMessageBoxesOf(HMODULE module) { return module != nullptr && CaptureMessageBoxesOf(module); }

int DH_PatchImport(HMODULE module, const char* name, void* replacement) {
    return module != nullptr && name != nullptr && PatchImport(module, nullptr, name, replacement);
}

void DH_CaptureMessageBoxes(int answer) { Host().messageBoxAnswer = answer; }

int DH_MessageBoxCount() { return static_cast<int>(Host().messageBoxes.size()); }

int DH_GetMessageBox(int index, DH_MESSAGEBOX* out) {
    const auto& list = Host().messageBoxes;
    if (index < 0 || index >= static_cast<int>(list.size()) || out == nullptr) return 0;
    *out = list[static_cast<size_t>(index)];
    return 1;
}

}  // extern "C"
