#include "palette/brush_settings.h"

#include "engine/allocation.h"
#include "frame/module.h"
#include "host/hpi_win.h"
#include "palette/zolva_palette.h"

namespace {

const char kKeyMethod[] = "BrushMethod";
const char kKeySize[] = "BrushSize";
const char kKeyStrength[] = "BrushStrength";
const char kKeyShape[] = "BrushShape";
const char kKeyAltitude[] = "BrushAlt";

int32_t ReadInt(const char* key, int32_t current) {
    return static_cast<int32_t>(HPI_GetProfileInt(g_pluginHandle, key, current));
}

}  // namespace

CBrushSettings::~CBrushSettings() {
    SaveProfile();
    FreeObject(palette);
    palette = nullptr;
}

void CBrushSettings::LoadProfile() {
    method = ReadInt(kKeyMethod, method);
    size = ReadInt(kKeySize, size);
    strength = FractionFromPercent(HPI_GetProfileInt(g_pluginHandle, kKeyStrength,
                                                     FractionToPercent(strength)));
    shape = FractionFromPercent(HPI_GetProfileInt(g_pluginHandle, kKeyShape,
                                                  FractionToPercent(shape)));
    altitude = ReadInt(kKeyAltitude, altitude);
}

void CBrushSettings::SaveProfile() const {
    HPI_WriteProfileInt(g_pluginHandle, kKeyMethod, method);
    HPI_WriteProfileInt(g_pluginHandle, kKeySize, size);
    HPI_WriteProfileInt(g_pluginHandle, kKeyStrength, FractionToPercent(strength));
    HPI_WriteProfileInt(g_pluginHandle, kKeyShape, FractionToPercent(shape));
    HPI_WriteProfileInt(g_pluginHandle, kKeyAltitude, altitude);
}

int CBrushSettings::IsPainting() {
    if (palette == nullptr || !palette->IsLive()) return 0;
    PullFromPalette();
    return method != kMethodScroll ? 1 : 0;
}

void CBrushSettings::PullFromPalette() {
    if (palette == nullptr) return;
    palette->ReadControls();
    method = palette->method;
    size = palette->size;
    altitude = palette->altitude;
    shape = palette->shape;
    strength = palette->strength;
}

void CBrushSettings::OpenPalette() {
    if (palette != nullptr && !palette->IsLive()) {
        FreeObject(palette);
        palette = nullptr;
    }
    if (palette != nullptr) return;
    LoadProfile();
    palette = AllocateObject<CZolvaPalette>();
    if (palette == nullptr) return;
    palette->method = method;
    palette->size = size;
    palette->altitude = altitude;
    palette->shape = shape;
    palette->strength = strength;
    CWnd owner;
    owner.m_hWnd = HPI_GetMainWnd();
    palette->Create(IDD_PALETTE, &owner);
    palette->ShowWindow(SW_SHOWNORMAL);
}
