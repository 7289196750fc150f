// Compiled in the native build: the host interface headers stand without <windows.h>,
// and their record layouts hold on this platform too (the static_asserts inside).
#include "host/hpi.h"
#include "host/perlin.h"

#ifdef _WINDOWS_
#error "host/hpi.h must not pull in <windows.h>"
#endif
