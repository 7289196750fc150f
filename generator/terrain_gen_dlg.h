// The generation dialog (template 129): range in km, maximum and minimum altitude in
// metres, each with a slider beside its box, the roughness and relief sliders, the blend
// method and the hidden border treatment.
//
// Slider ranges: range 1..1000 (tenths of a km), roughness and relief 1..100, maximum
// altitude 1..10000, minimum altitude -10000..the maximum text. Roughness position p
// means persistence 1 - p x 0.01; relief position p magnification 10 ^ ((p - 50) x 0.02).
#pragma once

#include <string>

#include "frame/plugin_dialog.h"
#include "platform/controls.h"

// Conversions between the dialog's texts, slider positions and the parameters. Every
// number to integer conversion truncates toward zero and saturates at the int limits.

// The leading decimal integer of a text after blanks and a sign; 0 without one.
int LeadingInteger(const std::wstring& text);
// The leading decimal number (digits, a point, an exponent); 0 without one.
double LeadingNumber(const std::wstring& text);
// Toward zero, saturated; NaN gives 0.
int TruncateToInt(double value);
std::wstring FormatInteger(int value);
// One decimal, "%.1lf".
std::wstring FormatTenths(double value);
// Positions of the roughness and relief sliders. Values outside persistence 0..1 and
// magnification 0.1..10 are taken as the nearest end, so a damaged profile value never
// reaches log10 or an out-of-range conversion.
int RoughnessPosition(double persistence);
int ReliefPosition(double magnification);
double PersistenceAt(int roughnessPosition);
double MagnificationAt(int reliefPosition);
// Range slider position: tenths of a km.
int RangePosition(const std::wstring& rangeText);

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
    std::wstring maxAltText;
    std::wstring rangeText;
    std::wstring minAltText;
    double persistance = 0.0;
    double mag = 0.0;

private:
    // Set while members and controls are exchanged: the edit boxes' change notifications
    // caused by writing their texts are not the user's and are ignored.
    bool exchanging = false;
};
