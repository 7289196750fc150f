#include "palette/brush_settings.h"

#include "frame/module.h"
#include "host/hpi.h"
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

int32_t FractionToProfile(double fraction) { return static_cast<int32_t>(fraction * 100.0); }

double FractionFromProfile(uint32_t stored) { return stored * 0.01; }

CBrushSettings::~CBrushSettings() {
    SaveProfile();
    delete palette;
    palette = nullptr;
}

void CBrushSettings::LoadProfile() {
    method = ReadInt(kKeyMethod, method);
    size = ReadInt(kKeySize, size);
    strength = FractionFromProfile(HPI_GetProfileInt(g_pluginHandle, kKeyStrength,
                                                     FractionToProfile(strength)));
    shape = FractionFromProfile(HPI_GetProfileInt(g_pluginHandle, kKeyShape,
                                                  FractionToProfile(shape)));
    altitude = ReadInt(kKeyAltitude, altitude);
}

void CBrushSettings::SaveProfile() const {
    HPI_WriteProfileInt(g_pluginHandle, kKeyMethod, method);
    HPI_WriteProfileInt(g_pluginHandle, kKeySize, size);
    HPI_WriteProfileInt(g_pluginHandle, kKeyStrength, FractionToProfile(strength));
    HPI_WriteProfileInt(g_pluginHandle, kKeyShape, FractionToProfile(shape));
    HPI_WriteProfileInt(g_pluginHandle, kKeyAltitude, altitude);
}
