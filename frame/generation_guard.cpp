#include "frame/generation_guard.h"

#include "frame/registry.h"

namespace {

unsigned g_generatingMap = 0;
bool g_generating = false;
bool g_discardDeferred = false;

}  // namespace

GenerationScope::GenerationScope(unsigned map) {
    g_generatingMap = map;
    g_generating = true;
    g_discardDeferred = false;
}

GenerationScope::~GenerationScope() {
    unsigned map = g_generatingMap;
    bool discard = g_discardDeferred;
    g_generating = false;
    g_generatingMap = 0;
    g_discardDeferred = false;
    if (discard) DiscardEditor(map);
}

bool GenerationScope::MapClosed() const { return g_discardDeferred; }

bool IsGenerating() { return g_generating; }

bool DeferDiscardWhileGenerating(unsigned map) {
    if (!g_generating || map != g_generatingMap) return false;
    g_discardDeferred = true;
    return true;
}
