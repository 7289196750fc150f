// Host version, menus, hooks, resources, main window and the profile store.
#include <cstdio>
#include <cstring>

#include "devhost/hpi/host_state.h"
#include "host/hpi_win.h"
#include "host/utf8_win.h"

HostState& Host() {
    static HostState state;
    return state;
}

ProfileStore& ProfileOf(HPI_HANDLE plugin) {
    HostState& host = Host();
    auto found = host.profiles.find(plugin);
    if (found != host.profiles.end()) return *found->second;
    char name[64];
    std::snprintf(name, sizeof name, "/plugin-%u.ini", plugin);
    auto store = std::make_unique<ProfileStore>(host.profileDir + name);
    std::string error;
    if (!store->Load(&error)) std::fprintf(stderr, "devhost: %s\n", error.c_str());
    return *host.profiles.emplace(plugin, std::move(store)).first->second;
}

namespace {

void Register(int kind, HPI_HANDLE plugin, unsigned group, const char* text, HPI_CALLBACK proc) {
    DH_REGISTRATION entry = {};
    entry.kind = kind;
    entry.plugin = plugin;
    entry.group = group;
    entry.hasText = text != nullptr && text[0] != '\0';
    if (entry.hasText) std::snprintf(entry.text, sizeof entry.text, "%s", text);
    entry.proc = proc;
    Host().registrations.push_back(entry);
}

}  // namespace

extern "C" {

int HPI_GetVersion() { return Host().version; }

unsigned HPI_AddMenu(HPI_HANDLE plugin, unsigned group, const char* text, HPI_CALLBACK proc) {
    Register(kRegisteredMenu, plugin, group, text, proc);
    return static_cast<unsigned>(Host().registrations.size());
}

int HPI_AddMapHook(HPI_HANDLE plugin, HPI_CALLBACK proc) {
    Register(kRegisteredMapHook, plugin, 0, nullptr, proc);
    return 1;
}

int HPI_AddViewHook(HPI_HANDLE plugin, HPI_CALLBACK proc) {
    Register(kRegisteredViewHook, plugin, 0, nullptr, proc);
    return 1;
}

HINSTANCE HPI_GetResourceHandle() {
    HostState& host = Host();
    if (host.resourceModule == nullptr) host.resourceModule = ::GetModuleHandleW(nullptr);
    return host.resourceModule;
}

void HPI_SetResourceHandle(HINSTANCE module) { Host().resourceModule = module; }

HWND HPI_GetMainWnd() { return Host().mainWnd; }

unsigned HPI_GetProfileInt(HPI_HANDLE plugin, const char* key, int def) {
    int32_t value = def;
    if (key == nullptr || !ProfileOf(plugin).Get(key, &value)) return static_cast<unsigned>(def);
    return static_cast<unsigned>(value);
}

int HPI_WriteProfileInt(HPI_HANDLE plugin, const char* key, int value) {
    if (key == nullptr) return 0;
    std::string error;
    if (ProfileOf(plugin).Set(key, value, &error)) return 1;
    // Said once a run: a palette writes a setting at every change.
    static bool told = false;
    if (!told) std::fprintf(stderr, "devhost: %s; the settings are kept for this session only\n", error.c_str());
    told = true;
    return 0;
}

void DH_Reset() {
    HostState& host = Host();
    host.registrations.clear();
    host.messageBoxes.clear();
}

void DH_SetVersion(int version) { Host().version = version; }

void DH_SetMainWnd(HWND window) { Host().mainWnd = window; }

void DH_SetProfileDir(const char* utf8Path) {
    HostState& host = Host();
    host.profileDir = utf8Path != nullptr ? utf8Path : "profiles";
    host.profiles.clear();
    ::CreateDirectoryW(Widen(host.profileDir).c_str(), nullptr);
}

const char* DH_GetProfilePath(HPI_HANDLE plugin) { return ProfileOf(plugin).path().c_str(); }

int DH_RegistrationCount() { return static_cast<int>(Host().registrations.size()); }

int DH_GetRegistration(int index, DH_REGISTRATION* out) {
    const auto& list = Host().registrations;
    if (index < 0 || index >= static_cast<int>(list.size()) || out == nullptr) return 0;
    *out = list[static_cast<size_t>(index)];
    return 1;
}

}  // extern "C"
