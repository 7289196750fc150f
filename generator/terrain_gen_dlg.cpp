#include "generator/terrain_gen_dlg.h"

#include <climits>

#include "engine/number_text.h"
#include "generator/generation_units.h"
#include "res/resource.h"

namespace {

const int kSliderMinimumAltitude = -10000;

// Moves the thumb to `position` and redraws it where the current range puts it. Some
// trackbars keep the thumb where it was drawn when only the range changes and the
// position stays; passing through both ends makes them place it again. Setting a
// position sends no scroll message.
void PlaceThumb(CSliderCtrl& slider, int position) {
    slider.SetPos(INT_MIN);
    slider.SetPos(INT_MAX);
    slider.SetPos(position);
}

}  // namespace

CTerrainGenDlg::CTerrainGenDlg(CWnd* parent) : CPluginDialog(IDD_GENERATION, parent) {}

void CTerrainGenDlg::DoDataExchange(CDataExchange* dx) {
    const bool outer = exchanging;
    exchanging = true;
    DDX_Control(dx, IDC_GEN_MIN_ALT_SLIDER, minAltSlider);
    DDX_Control(dx, IDC_GEN_ROUGHNESS_SLIDER, roughnessSlider);
    DDX_Control(dx, IDC_GEN_RANGE_SLIDER, rangeSlider);
    DDX_Control(dx, IDC_GEN_RELIEF_SLIDER, reliefSlider);
    DDX_Control(dx, IDC_GEN_MAX_ALT_SLIDER, maxAltSlider);
    DDX_Radio(dx, IDC_GEN_EDGE_SMOOTH, edge);
    DDX_Radio(dx, IDC_GEN_METHOD_ADD, method);
    DDX_Text(dx, IDC_GEN_MAX_ALT_EDIT, maxAltText);
    DDX_Text(dx, IDC_GEN_RANGE_EDIT, rangeText);
    DDX_Text(dx, IDC_GEN_MIN_ALT_EDIT, minAltText);
    exchanging = outer;
}

BOOL CTerrainGenDlg::OnInitDialog() {
    CPluginDialog::OnInitDialog();
    InitializeSliders();
    UpdateData(FALSE);
    return TRUE;
}

void CTerrainGenDlg::OnOK() {
    UpdateData(TRUE);
    persistance = PersistenceAt(roughnessSlider.GetPos());
    mag = MagnificationAt(reliefSlider.GetPos());
    CPluginDialog::OnOK();
}

BOOL CTerrainGenDlg::OnCommand(WPARAM wp, LPARAM lp) {
    if (HIWORD(wp) != EN_CHANGE || exchanging) return CPluginDialog::OnCommand(wp, lp);
    switch (LOWORD(wp)) {
    case IDC_GEN_MAX_ALT_EDIT:
        return OnMaxAltChange(), TRUE;
    case IDC_GEN_MIN_ALT_EDIT:
        return OnMinAltChange(), TRUE;
    case IDC_GEN_RANGE_EDIT:
        return OnRangeChange(), TRUE;
    default:
        return CPluginDialog::OnCommand(wp, lp);
    }
}

BOOL CTerrainGenDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_HSCROLL:
        return OnHScroll(reinterpret_cast<HWND>(lp)), FALSE;
    default:
        return CPluginDialog::OnMessage(msg, wp, lp, result);
    }
}

// Every scroll code counts, a thumb drag included: the boxes follow the thumb.
// Roughness and relief have no box and are read only by OnOK.
void CTerrainGenDlg::OnHScroll(HWND scrollBar) {
    UpdateData(TRUE);
    switch (::GetDlgCtrlID(scrollBar)) {
    case IDC_GEN_RANGE_SLIDER:
        rangeText = FormatTenths(rangeSlider.GetPos() * 0.1);
        break;
    case IDC_GEN_MAX_ALT_SLIDER:
        maxAltText = FormatInteger(maxAltSlider.GetPos());
        LimitMinimumToMaximum();
        break;
    case IDC_GEN_MIN_ALT_SLIDER:
        minAltText = FormatInteger(minAltSlider.GetPos());
        break;
    default:
        return;
    }
    UpdateData(FALSE);
}

// The minimum box keeps what it shows; the next exchange from the controls takes it again.
void CTerrainGenDlg::OnMaxAltChange() {
    UpdateData(TRUE);
    maxAltSlider.SetPos(LeadingInteger(maxAltText));
    LimitMinimumToMaximum();
}

void CTerrainGenDlg::OnMinAltChange() {
    UpdateData(TRUE);
    minAltSlider.SetPos(LeadingInteger(minAltText));
}

void CTerrainGenDlg::OnRangeChange() {
    UpdateData(TRUE);
    rangeSlider.SetPos(RangePosition(rangeText));
}

// Every range is set with redraw; a slider clamps a position outside its range while the
// box beside it keeps its text.
void CTerrainGenDlg::InitializeSliders() {
    const int maximum = LeadingInteger(maxAltText);
    const struct {
        CSliderCtrl* slider;
        int minimum, maximum, page, position;
    } setups[] = {
        {&roughnessSlider, 1, 100, 10, RoughnessPosition(persistance)},
        {&reliefSlider, 1, 100, 10, ReliefPosition(mag)},
        {&rangeSlider, 1, 1000, 100, RangePosition(rangeText)},
        {&maxAltSlider, 1, 10000, 100, maximum},
        {&minAltSlider, kSliderMinimumAltitude, maximum, 100, LeadingInteger(minAltText)},
    };
    for (const auto& setup : setups) {
        setup.slider->SetRange(setup.minimum, setup.maximum, TRUE);
        setup.slider->SetPageSize(setup.page);
        PlaceThumb(*setup.slider, setup.position);
    }
}

void CTerrainGenDlg::LimitMinimumToMaximum() {
    const int maximum = LeadingInteger(maxAltText);
    minAltSlider.SetRange(kSliderMinimumAltitude, maximum, TRUE);
    if (maximum >= LeadingInteger(minAltText)) return PlaceThumb(minAltSlider, minAltSlider.GetPos());
    minAltText = maxAltText;
    PlaceThumb(minAltSlider, maximum);
}
