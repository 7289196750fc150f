#include "platform/afx.h"

#include <cstdlib>

#include "host/hpi_win.h"

namespace {

CDynLinkLibrary* g_chain = nullptr;

}  // namespace

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE module) {
    if (module == nullptr) return FALSE;
    state.hModule = module;
    state.hResource = module;
    state.bInitialized = TRUE;
    return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL) {
    CDynLinkLibrary** link = &g_chain;
    while (*link != nullptr) {
        CDynLinkLibrary* entry = *link;
        if (entry->module == state.hModule) {
            *link = entry->next;
            entry->next = nullptr;
            delete entry;
        } else {
            link = &entry->next;
        }
    }
    state.bInitialized = FALSE;
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state)
    : module(state.hModule), resource(state.hResource), next(g_chain) {
    g_chain = this;
}

void* CDynLinkLibrary::operator new(size_t bytes, const std::nothrow_t&) noexcept { return std::malloc(bytes); }

void CDynLinkLibrary::operator delete(void* memory) noexcept { std::free(memory); }

CDynLinkLibrary::~CDynLinkLibrary() {
    for (CDynLinkLibrary** link = &g_chain; *link != nullptr; link = &(*link)->next) {
        if (*link == this) {
            *link = next;
            break;
        }
    }
}

HINSTANCE AfxGetResourceHandle() { return HPI_GetResourceHandle(); }

void AfxSetResourceHandle(HINSTANCE module) { HPI_SetResourceHandle(module); }

HINSTANCE AfxFindResourceHandle(LPCWSTR name, LPCWSTR type) {
    HINSTANCE current = AfxGetResourceHandle();
    if (current != nullptr && FindResourceW(current, name, type) != nullptr) return current;
    for (CDynLinkLibrary* entry = g_chain; entry != nullptr; entry = entry->next) {
        if (FindResourceW(entry->resource, name, type) != nullptr) return entry->resource;
    }
    return nullptr;
}

int AfxResourceChainLength() {
    int count = 0;
    for (CDynLinkLibrary* entry = g_chain; entry != nullptr; entry = entry->next) ++count;
    return count;
}
