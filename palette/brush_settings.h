// The brush values outside the palette window, their profile keys, and the palette
// object. Method: a code of brush_method.h. Size: radius in samples (1..32).
// Altitude: flatten target in metres. Strength and shape: 0.0..1.0, stored as whole
// percent (brush_fraction.h) and read back as the stored value taken unsigned x 0.01.
#pragma once

#include <cstdint>

#include "engine/brush_method.h"
#include "palette/brush_fraction.h"

class CZolvaPalette;

const int kDefaultBrushMethod = kMethodRaise;
const int kDefaultBrushSize = 20;
const int kDefaultBrushAltitude = 500;
const double kDefaultBrushStrength = 0.5;
const double kDefaultBrushShape = 0.0;

class CBrushSettings {
public:
    CBrushSettings() = default;
    // Saves the fields to the profile and deletes the palette object; runs at unload.
    ~CBrushSettings();
    CBrushSettings(const CBrushSettings&) = delete;
    CBrushSettings& operator=(const CBrushSettings&) = delete;

    // Each read passes the current field as the default, so a missing key changes nothing.
    void LoadProfile();
    void SaveProfile() const;
    // 1 when the palette window is alive and, after pulling its values, a painting
    // method (not scroll) is chosen; 0 otherwise, without pulling.
    int IsPainting();
    // Copies the palette's current control values into the fields.
    void PullFromPalette();
    // The menu command: opens the palette seeded from the profile, unless it is open.
    void OpenPalette();

    int32_t method = kDefaultBrushMethod;
    int32_t size = kDefaultBrushSize;
    int32_t altitude = kDefaultBrushAltitude;
    double strength = kDefaultBrushStrength;
    double shape = kDefaultBrushShape;
    CZolvaPalette* palette = nullptr;
};
