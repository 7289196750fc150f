// The generation dialog (template 129): range in km, maximum and minimum altitude in
// metres, each with a slider beside its box, the roughness and relief sliders, the blend
// method and the hidden border treatment.
//
// Altitude slider ranges: maximum 1..10000, minimum -10000..the maximum text; the other
// sliders' ranges and meanings are in generation_units.h.
#pragma once

#include "frame/plugin_dialog.h"
#include "host/wide_text.h"
#include "platform/controls.h"

class CTerrainGenDlg : public CPluginDialog {
public:
    explicit CTerrainGenDlg(CWnd* parent);
    ~CTerrainGenDlg() override = default;
    CTerrainGenDlg(const CTerrainGenDlg&) = delete;
    CTerrainGenDlg& operator=(const CTerrainGenDlg&) = delete;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    // Takes persistence and magnification from the sliders, then ends with IDOK.
    void OnOK() override;
    BOOL OnCommand(WPARAM wp, LPARAM lp) override;
    BOOL OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

    // Message handlers
    void OnHScroll(HWND scrollBar);
    void OnMaxAltChange();
    void OnMinAltChange();
    void OnRangeChange();

private:
    void InitializeSliders();
    // The minimum slider ends at the maximum altitude; a minimum above it is pulled down.
    void LimitMinimumToMaximum();

    CSliderCtrl minAltSlider;
    CSliderCtrl roughnessSlider;
    CSliderCtrl rangeSlider;
    CSliderCtrl reliefSlider;
    CSliderCtrl maxAltSlider;

public:
    int edge = -1;
    int method = -1;
    WideText maxAltText;
    WideText rangeText;
    WideText minAltText;
    double persistance = 0.0;
    double mag = 0.0;

private:
    // Set while members and controls are exchanged: the edit boxes' change notifications
    // caused by writing their texts are not the user's and are ignored.
    bool exchanging = false;
};
