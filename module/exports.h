// The module's entry points. The host finds them with GetProcAddress by their plain
// names, so they have C linkage and the module's .def file exports them undecorated.
// Their types, as the host sees them, are in host/plugin_entry.h.
#pragma once

#include "host/hpi.h"

extern "C" {

// 1 when the plug-in registered itself, 0 when it refused the host.
__declspec(dllexport) int Init(HPI_PLUGININFO* info, unsigned pluginHandle);
// Closes the palette window if it is open; always 1.
__declspec(dllexport) int Close();
// Shows the plug-in's credits; the message box result.
__declspec(dllexport) int About();
__declspec(dllexport) void Release();

}  // extern "C"
