// A small stand-in for the part of the host's application framework that the plug-in
// uses: extension-module start and end, the resource chain, and CObject.
// The current resource module belongs to the host, so it is read and set through the
// host interface.
#pragma once

#include <windows.h>

#include <new>

class CObject {
public:
    virtual ~CObject() = default;
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;

protected:
    CObject() = default;
};

struct AFX_EXTENSION_MODULE {
    BOOL bInitialized;
    HMODULE hModule;
    HMODULE hResource;
};

// Records the module; fails for a null module handle.
BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE module);
// Unlinks and deletes every CDynLinkLibrary created for the module.
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL all = FALSE);

// Puts a module's resources into the chain searched after the current resource module.
class CDynLinkLibrary : public CObject {
public:
    explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state);
    ~CDynLinkLibrary() override;

    // Made only with new (std::nothrow), straight from the C runtime: null when memory
    // is short, never an exception.
    static void* operator new(size_t bytes, const std::nothrow_t&) noexcept;
    static void operator delete(void* memory) noexcept;

    HMODULE module;
    HMODULE resource;
    CDynLinkLibrary* next;
};

HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE module);
// The current resource module if it holds the resource, else the first chained module
// that does, else null.
HINSTANCE AfxFindResourceHandle(LPCWSTR name, LPCWSTR type);
// Number of modules in the resource chain.
int AfxResourceChainLength();
