// The host's plug-in interface as the plug-in sees it: handles, records and the
// window-free HPI_ functions. Usable without <windows.h>; the functions that take or
// return window types are declared in hpi_win.h.
//
// The records below travel between separately built modules, so every offset is pinned.
// Callback parameters and buffer addresses are pointer-sized; on a 32-bit build the
// layouts are exactly the 32-bit ones.
#pragma once

// The C forms of these headers, so that a compiler in the host's own mode, with no
// standard library of its own, can read this file too.
#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(HPI_BUILDING_LIBRARY)
#    define HPI_API __declspec(dllexport)
#  else
#    define HPI_API __declspec(dllimport)
#  endif
#else
#  define HPI_API
#endif

// Members of the host's services library (the noise family). The stand-in host's services
// library exports them under the host compiler's names through a module-definition file,
// so it marks nothing itself.
#if defined(_WIN32) && !defined(HPI_BUILDING_SERVICES)
#  define HPI_SERVICES_API __declspec(dllimport)
#else
#  define HPI_SERVICES_API
#endif

// Host handles (plug-in, map, view, open elevation file) are unsigned 32-bit; 0 is never valid.
typedef uint32_t HPI_HANDLE;

// Callback: (event code, map or view handle, address of the event's record).
typedef long (*HPI_CALLBACK)(int event, unsigned handle, intptr_t param);

// Event codes delivered through the callbacks.
enum HpiEvent {
    kEventMenuChosen = 100,
    kEventMapSave = 202,
    kEventMapEditsHeld = 203,
    kEventMapBlockRequest = 204,
    kEventMapClosing = 206,
    kEventViewPress = 310,
    kEventViewRelease = 311,
    kEventViewMove = 312,
    kEventViewTracking = 320,
};

// The host's Tools menu group for HPI_AddMenu.
const unsigned kMenuGroupTools = 6;

// Geographic position: latitude then longitude, in degrees.
struct GEOPOS {
    double lat;
    double lon;
};
static_assert(sizeof(GEOPOS) == 16, "GEOPOS is 16 bytes");
static_assert(offsetof(GEOPOS, lat) == 0, "latitude leads GEOPOS");

// Record of view events 310..312: pointer position in view client pixels and on the map.
struct HPI_VIEWEVENT {
    int32_t x;
    int32_t y;
    GEOPOS pos;
};
static_assert(offsetof(HPI_VIEWEVENT, x) == 0, "view event x at 0");
static_assert(offsetof(HPI_VIEWEVENT, y) == 4, "view event y at 4");
static_assert(offsetof(HPI_VIEWEVENT, pos) == 8, "view event GEOPOS at 8");
static_assert(sizeof(HPI_VIEWEVENT) == 24, "view event record is 24 bytes");

// Record of block request 204: the plug-in copies the block into `samples`
// (320 x 320 int16) when it holds it.
struct HPI_BLOCKREQUEST {
    int32_t mapType;
    int32_t blockId;  // block code x 100
    int16_t* samples;
};
static_assert(offsetof(HPI_BLOCKREQUEST, mapType) == 0, "block request map type at 0");
static_assert(offsetof(HPI_BLOCKREQUEST, blockId) == 4, "block request identifier at 4");
static_assert(offsetof(HPI_BLOCKREQUEST, samples) == 8, "block request buffer at 8");
static_assert(sizeof(HPI_BLOCKREQUEST) == 8 + sizeof(void*), "block request size");

// Plug-in information record (280 bytes) that Init fills; NUL-terminated single-byte texts.
struct HPI_PLUGININFO {
    uint32_t size;
    char name[80];
    char version[30];
    char extra[166];
};
static_assert(sizeof(HPI_PLUGININFO) == 280, "information record is 280 bytes");
static_assert(offsetof(HPI_PLUGININFO, name) == 4, "name at 4");
static_assert(offsetof(HPI_PLUGININFO, version) == 84, "version at 84");
static_assert(offsetof(HPI_PLUGININFO, extra) == 114, "third text at 114");

// Mesh cell extent in metres, laid out as the Win32 SIZE the host returns.
struct HPI_SIZE {
    int32_t cx;
    int32_t cy;
};
static_assert(sizeof(HPI_SIZE) == 8, "HPI_SIZE matches SIZE");

// Fourth argument of HPI_GetMapBlock: read from the map file, not from plug-ins.
const unsigned kGetBlockFromFile = 2;

extern "C" {

HPI_API int HPI_GetVersion();
HPI_API unsigned HPI_AddMenu(HPI_HANDLE plugin, unsigned group, const char* text, HPI_CALLBACK proc);
HPI_API int HPI_AddMapHook(HPI_HANDLE plugin, HPI_CALLBACK proc);
HPI_API int HPI_AddViewHook(HPI_HANDLE plugin, HPI_CALLBACK proc);

HPI_API HPI_HANDLE HPI_GetActiveBaseMap();
HPI_API HPI_HANDLE HPI_GetActiveView();
HPI_API int HPI_IsOpenedMap(HPI_HANDLE map);
HPI_API unsigned HPI_GetMapType(HPI_HANDLE map);
HPI_API int HPI_IsMAT(HPI_HANDLE map);
HPI_API const char* HPI_GetMapFile(HPI_HANDLE map);  // UTF-8 path

HPI_API HPI_HANDLE HPI_OpenAppendEvm(const char* path, int count);        // 0 on failure
HPI_API unsigned HPI_AppendBlockEvm(HPI_HANDLE file, int blockId, short* samples);  // 0 written
HPI_API unsigned HPI_CloseEvm(HPI_HANDLE file);                            // commits and flushes

HPI_API void HPI_ClearViewCache(HPI_HANDLE map);
HPI_API int HPI_GetMapBlock(HPI_HANDLE map, long blockId, short* samples, unsigned source);
HPI_API void HPI_ReplaceCache(HPI_HANDLE map, long blockId, short* samples);
HPI_API void HPI_UpdateView(HPI_HANDLE view, unsigned how);
HPI_API int HPI_GetZoomView(HPI_HANDLE view);
HPI_API void HPI_PosToMesh(HPI_HANDLE map, GEOPOS pos, long* x, long* y);
HPI_API void HPI_GetViewCenter(HPI_HANDLE view, GEOPOS* pos);
HPI_API HPI_SIZE HPI_GetMeshSize(HPI_HANDLE map, double lat);
HPI_API int HPI_Pump();

HPI_API unsigned HPI_GetProfileInt(HPI_HANDLE plugin, const char* key, int def);
HPI_API int HPI_WriteProfileInt(HPI_HANDLE plugin, const char* key, int value);

}  // extern "C"
