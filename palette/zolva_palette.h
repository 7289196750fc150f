// The floating brush palette (dialog 20160): method buttons, sliders with presets for
// size, strength and shape, the flatten altitude, and the generate and undo commands.
// The controls hold the truth while the window is open; the public brush fields are
// written by CBrushSettings before creation and refreshed only by ReadControls.
// Ranges: size 1..32 samples, strength and shape 0..100 (x 0.01), altitude slider
// 0..10000 m while the edit box takes any integer.
#pragma once

#include <cstdint>

#include "frame/plugin_dialog.h"
#include "host/wide_text.h"
#include "platform/controls.h"
#include "res/resource.h"

class CZolvaPalette : public CPluginDialog {
public:
    CZolvaPalette();
    ~CZolvaPalette() override;
    CZolvaPalette(const CZolvaPalette&) = delete;
    CZolvaPalette& operator=(const CZolvaPalette&) = delete;

protected:
    BOOL OnCommand(WPARAM wp, LPARAM lp) override;
    BOOL OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void DoDataExchange(CDataExchange* dx) override;

public:
    // Relays single clicks and moves to the tooltips, then runs the dialog keyboard
    // interface; never consumes a message itself.
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    BOOL OnInitDialog() override;
    // Esc and the close box destroy the window; the object stays for CBrushSettings.
    void OnCancel() override;

public:
    // Exchanges from the controls, then takes the slider positions and the altitude text
    // into the brush fields.
    void ReadControls();
    // Puts the brush fields into the sliders and the altitude text, then exchanges to the
    // controls.
    void WriteControls();
    // Size, strength and shape unless scroll; the altitude only for flatten.
    void UpdateEnables();

protected:
    // Message handlers
    void OnPaint();
    void OnPreset(int presetId);
    void OnUndo();
    void OnMethodClicked();
    void OnHScroll(int code, HWND scrollBar);
    void OnAltitudeEditChange();
    void OnDestroy();

private:
    void CreateTooltips();
    void InitializeIcons();
    void InitializeSliders();
    void MoveToSavedPosition();
    void DrawGroupFrame(HDC dc, int firstId, int lastId, bool vertical);
    void ReleaseButtonIcons();

    CSliderCtrl altitudeSlider;
    CSliderCtrl strengthSlider;
    CSliderCtrl sizeSlider;
    CSliderCtrl shapeSlider;

public:
    int32_t method = 0;

private:
    WideText altitudeText;
    CImageList methodImages;
    CImageList presetImages;
    int32_t savedX = 0;
    int32_t savedY = 0;
    CToolTipCtrl tooltips;
    int32_t tooltipsReady = 0;

public:
    int32_t size = 0;
    int32_t altitude = 0;
    double shape = 0.0;
    double strength = 0.0;
};
