// The floating brush palette (dialog 20160): method buttons, sliders, presets and the
// generate and undo commands. Its fields carry the brush values to and from
// CBrushSettings.
#pragma once

#include <cstdint>

#include "frame/plugin_dialog.h"
#include "res/resource.h"

class CZolvaPalette : public CPluginDialog {
public:
    CZolvaPalette() : CPluginDialog(IDD_PALETTE, nullptr) {}

    // Takes the controls' current values into the fields.
    void ReadControls();

    int32_t method = 1;
    int32_t size = 20;
    int32_t altitude = 500;
    double shape = 0.0;
    double strength = 0.5;
};
