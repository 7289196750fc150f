// The three callbacks Init registers with the host.
#pragma once

#include "host/hpi.h"

long MenuProc(int event, unsigned handle, intptr_t param);
long MapHookProc(int event, unsigned map, intptr_t param);
long ViewHookProc(int event, unsigned view, intptr_t param);
