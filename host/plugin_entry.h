// The types of a plug-in module's entry points, as the host finds them with
// GetProcAddress by their plain names "Init", "Close", "About" and "Release".
#pragma once

#include "host/hpi.h"

// 1 when the plug-in registered itself, 0 when it refused the host.
typedef int (*InitProc)(HPI_PLUGININFO* info, unsigned pluginHandle);
// Closes the plug-in's windows; always 1.
typedef int (*CloseProc)();
// Shows the plug-in's credits; the message box result.
typedef int (*AboutProc)();
typedef void (*ReleaseProc)();
