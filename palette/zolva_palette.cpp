#include "palette/zolva_palette.h"

#include "engine/brush_kernel.h"
#include "engine/brush_method.h"
#include "engine/number_text.h"
#include "frame/generation_guard.h"
#include "frame/module.h"
#include "frame/plugin_dialog.h"
#include "frame/registry.h"
#include "generator/generate_command.h"
#include "host/hpi_win.h"
#include "palette/brush_fraction.h"

namespace {

const int kNoSavedPosition = -9999;
const char kKeyX[] = "CZolvaPalette-X";
const char kKeyY[] = "CZolvaPalette-Y";

const int kIconSide = 32;
const COLORREF kMethodMask = RGB(255, 255, 0);
// The preset strip holds no black, so its icons are drawn opaque.
const COLORREF kPresetMask = RGB(0, 0, 0);

struct IconButton {
    int id;
    bool fromMethods;  // else from the preset strip
    int image;
    UINT tip;
};

const IconButton kIconButtons[] = {
    {IDC_METHOD_SCROLL, true, 0, IDS_TIP_SCROLL},
    {IDC_METHOD_RAISE, true, 1, IDS_TIP_RAISE},
    {IDC_METHOD_DIG, true, 2, IDS_TIP_DIG},
    {IDC_METHOD_FLATTEN, true, 3, IDS_TIP_FLATTEN},
    {IDC_SIZE_PRESET_1, false, 0, IDS_TIP_SIZE_PRESET},
    {IDC_SIZE_PRESET_2, false, 1, IDS_TIP_SIZE_PRESET},
    {IDC_SIZE_PRESET_3, false, 2, IDS_TIP_SIZE_PRESET},
    {IDC_SIZE_PRESET_4, false, 3, IDS_TIP_SIZE_PRESET},
    {IDC_SIZE_PRESET_5, false, 4, IDS_TIP_SIZE_PRESET},
    {IDC_STRENGTH_PRESET_1, false, 5, IDS_TIP_STRENGTH_PRESET},
    {IDC_STRENGTH_PRESET_2, false, 6, IDS_TIP_STRENGTH_PRESET},
    {IDC_STRENGTH_PRESET_3, false, 7, IDS_TIP_STRENGTH_PRESET},
    {IDC_STRENGTH_PRESET_4, false, 8, IDS_TIP_STRENGTH_PRESET},
    {IDC_STRENGTH_PRESET_5, false, 9, IDS_TIP_STRENGTH_PRESET},
    {IDC_SHAPE_PRESET_1, false, 10, IDS_TIP_SHAPE_PRESET},
    {IDC_SHAPE_PRESET_2, false, 11, IDS_TIP_SHAPE_PRESET},
    {IDC_SHAPE_PRESET_3, false, 12, IDS_TIP_SHAPE_PRESET},
    {IDC_SHAPE_PRESET_4, false, 13, IDS_TIP_SHAPE_PRESET},
    {IDC_SHAPE_PRESET_5, false, 14, IDS_TIP_SHAPE_PRESET},
};

struct Preset {
    int id;
    int sliderId;
    int position;
};

const Preset kPresets[] = {
    {IDC_SIZE_PRESET_1, IDC_SIZE_SLIDER, 1},          {IDC_SIZE_PRESET_2, IDC_SIZE_SLIDER, 8},
    {IDC_SIZE_PRESET_3, IDC_SIZE_SLIDER, 15},         {IDC_SIZE_PRESET_4, IDC_SIZE_SLIDER, 28},
    {IDC_SIZE_PRESET_5, IDC_SIZE_SLIDER, 32},         {IDC_STRENGTH_PRESET_1, IDC_STRENGTH_SLIDER, 10},
    {IDC_STRENGTH_PRESET_2, IDC_STRENGTH_SLIDER, 25}, {IDC_STRENGTH_PRESET_3, IDC_STRENGTH_SLIDER, 50},
    {IDC_STRENGTH_PRESET_4, IDC_STRENGTH_SLIDER, 75}, {IDC_STRENGTH_PRESET_5, IDC_STRENGTH_SLIDER, 100},
    {IDC_SHAPE_PRESET_1, IDC_SHAPE_SLIDER, 0},        {IDC_SHAPE_PRESET_2, IDC_SHAPE_SLIDER, 25},
    {IDC_SHAPE_PRESET_3, IDC_SHAPE_SLIDER, 50},       {IDC_SHAPE_PRESET_4, IDC_SHAPE_SLIDER, 75},
    {IDC_SHAPE_PRESET_5, IDC_SHAPE_SLIDER, 100},
};

bool IsPresetButton(int id) {
    for (const Preset& preset : kPresets) {
        if (preset.id == id) return true;
    }
    return false;
}

// Enabled unless the method is scroll.
const int kBrushControls[] = {
    IDC_SIZE_LABEL,        IDC_SIZE_SLIDER,       IDC_SIZE_PRESET_1,     IDC_SIZE_PRESET_2,
    IDC_SIZE_PRESET_3,     IDC_SIZE_PRESET_4,     IDC_SIZE_PRESET_5,     IDC_SHAPE_LABEL,
    IDC_SHAPE_SLIDER,      IDC_SHAPE_PRESET_1,    IDC_SHAPE_PRESET_2,    IDC_SHAPE_PRESET_3,
    IDC_SHAPE_PRESET_4,    IDC_SHAPE_PRESET_5,    IDC_STRENGTH_LABEL,    IDC_STRENGTH_SLIDER,
    IDC_STRENGTH_PRESET_1, IDC_STRENGTH_PRESET_2, IDC_STRENGTH_PRESET_3, IDC_STRENGTH_PRESET_4,
    IDC_STRENGTH_PRESET_5,
};

// Enabled only for flatten.
const int kAltitudeControls[] = {IDC_ALTITUDE_LABEL, IDC_ALTITUDE_SLIDER, IDC_ALTITUDE_EDIT,
                                 IDC_ALTITUDE_UNIT};

struct GroupFrame {
    int firstId;
    int lastId;
    bool vertical;
};

const GroupFrame kGroupFrames[] = {
    {IDC_METHOD_SCROLL, IDC_METHOD_FLATTEN, false},
    {IDC_SIZE_PRESET_1, IDC_SIZE_PRESET_5, false},
    {IDC_STRENGTH_PRESET_1, IDC_STRENGTH_PRESET_5, false},
    {IDC_SHAPE_PRESET_1, IDC_SHAPE_PRESET_5, false},
    {IDC_GENERATE_BUTTON, IDC_UNDO_BUTTON, true},
    // The copy and paste buttons are hidden; their frame is drawn empty.
    {IDC_COPY_BUTTON, IDC_PASTE_BUTTON, true},
};

struct SliderSetup {
    CSliderCtrl* slider;
    int minimum, maximum, page, ticks;
};

bool IsRelayedMouseMessage(UINT message) {
    return message >= WM_MOUSEMOVE && message <= WM_MBUTTONUP && message != WM_LBUTTONDBLCLK &&
           message != WM_RBUTTONDBLCLK;
}

// Top and left in one colour, bottom and right in the other, on the rectangle's edge.
void DrawEdgeRect(HDC dc, const RECT& r, int topLeftColor, int bottomRightColor) {
    const RECT topLeft[] = {{r.left, r.top, r.right - 1, r.top + 1}, {r.left, r.top, r.left + 1, r.bottom - 1}};
    const RECT bottomRight[] = {{r.right - 1, r.top, r.right, r.bottom}, {r.left, r.bottom - 1, r.right, r.bottom}};
    for (const RECT& line : topLeft) ::FillRect(dc, &line, ::GetSysColorBrush(topLeftColor));
    for (const RECT& line : bottomRight) ::FillRect(dc, &line, ::GetSysColorBrush(bottomRightColor));
}

// The window would show at least partly on a monitor at this top-left corner.
bool IsOnSomeMonitor(HWND window, int x, int y) {
    RECT rect;
    ::GetWindowRect(window, &rect);
    ::OffsetRect(&rect, x - rect.left, y - rect.top);
    return ::MonitorFromRect(&rect, MONITOR_DEFAULTTONULL) != nullptr;
}

}  // namespace

CZolvaPalette::CZolvaPalette() : CPluginDialog(IDD_PALETTE, nullptr) {}

// The icons go with the window; a window still open here is destroyed by the base.
CZolvaPalette::~CZolvaPalette() {
    if (IsLive()) ReleaseButtonIcons();
}

BOOL CZolvaPalette::OnCommand(WPARAM wp, LPARAM lp) {
    const int id = LOWORD(wp);
    if (HIWORD(wp) == EN_CHANGE && id == IDC_ALTITUDE_EDIT) return OnAltitudeEditChange(), TRUE;
    if (HIWORD(wp) != BN_CLICKED) return CPluginDialog::OnCommand(wp, lp);
    switch (id) {
    case IDC_GENERATE_BUTTON:
        return OnGenerate(), TRUE;
    case IDC_UNDO_BUTTON:
        return OnUndo(), TRUE;
    case IDC_METHOD_SCROLL:
    case IDC_METHOD_RAISE:
    case IDC_METHOD_DIG:
    case IDC_METHOD_FLATTEN:
        return OnMethodClicked(), TRUE;
    case IDOK:
        // Enter has no action: the palette stays open and visible.
        return TRUE;
    default:
        if (IsPresetButton(id)) return OnPreset(id), TRUE;
        return CPluginDialog::OnCommand(wp, lp);
    }
}

BOOL CZolvaPalette::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_PAINT:
        return OnPaint(), result = 0, TRUE;
    case WM_HSCROLL:
        return OnHScroll(LOWORD(wp), reinterpret_cast<HWND>(lp)), FALSE;
    case WM_DESTROY:
        return OnDestroy(), FALSE;
    default:
        return CPluginDialog::OnMessage(msg, wp, lp, result);
    }
}

void CZolvaPalette::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_ALTITUDE_SLIDER, altitudeSlider);
    DDX_Control(dx, IDC_STRENGTH_SLIDER, strengthSlider);
    DDX_Control(dx, IDC_SIZE_SLIDER, sizeSlider);
    DDX_Control(dx, IDC_SHAPE_SLIDER, shapeSlider);
    DDX_Radio(dx, IDC_METHOD_SCROLL, method);
    DDX_Text(dx, IDC_ALTITUDE_EDIT, altitudeText);
}

BOOL CZolvaPalette::PreTranslateMessage(MSG* msg) {
    if (tooltipsReady != 0 && IsRelayedMouseMessage(msg->message)) {
        tooltips.Activate(TRUE);
        tooltips.RelayEvent(msg);
    }
    return CPluginDialog::PreTranslateMessage(msg);
}

BOOL CZolvaPalette::OnInitDialog() {
    PluginResourceScope resources;
    CPluginDialog::OnInitDialog();
    savedX = static_cast<int32_t>(HPI_GetProfileInt(g_pluginHandle, kKeyX, kNoSavedPosition));
    savedY = static_cast<int32_t>(HPI_GetProfileInt(g_pluginHandle, kKeyY, kNoSavedPosition));
    CreateTooltips();
    tooltipsReady = 1;
    InitializeIcons();
    MoveToSavedPosition();
    InitializeSliders();
    WriteControls();
    UpdateEnables();
    return TRUE;
}

void CZolvaPalette::OnCancel() { DestroyWindow(); }

// A closed palette keeps the values it last read.
void CZolvaPalette::ReadControls() {
    if (!IsLive()) return;
    UpdateData(TRUE);
    size = sizeSlider.GetPos();
    altitude = LeadingInteger(altitudeText);
    shape = shapeSlider.GetPos() * 0.01;
    strength = strengthSlider.GetPos() * 0.01;
}

void CZolvaPalette::WriteControls() {
    sizeSlider.SetPos(size);
    altitudeText = FormatInteger(altitude);
    altitudeSlider.SetPos(altitude);
    shapeSlider.SetPos(FractionToPercent(shape));
    strengthSlider.SetPos(FractionToPercent(strength));
    UpdateData(FALSE);
}

void CZolvaPalette::UpdateEnables() {
    for (int id : kBrushControls) ::EnableWindow(GetDlgItem(id), method != kMethodScroll);
    for (int id : kAltitudeControls) ::EnableWindow(GetDlgItem(id), method == kMethodFlatten);
}

void CZolvaPalette::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    for (const GroupFrame& frame : kGroupFrames) DrawGroupFrame(dc, frame.firstId, frame.lastId, frame.vertical);
    ::EndPaint(m_hWnd, &paint);
}

// Moves only the preset's slider; the brush fields follow at the next ReadControls.
void CZolvaPalette::OnPreset(int presetId) {
    for (const Preset& preset : kPresets) {
        if (preset.id == presetId) SendDlgItemMessage(preset.sliderId, TBM_SETPOS, TRUE, preset.position);
    }
}

// The stroke blocks hold the samples from before the last stroke or generation. While a
// generation is filling them, undo is ignored.
void CZolvaPalette::OnUndo() {
    if (IsGenerating()) return;
    HPI_HANDLE map = HPI_GetActiveBaseMap();
    HPI_HANDLE view = HPI_GetActiveView();
    MapRestoreFromStroke(map);
    MapPushToHost(map);
    MapClearStroke(map);
    HPI_UpdateView(view, 1);
}

void CZolvaPalette::OnMethodClicked() {
    UpdateData(TRUE);
    UpdateEnables();
}

// Called for every slider; dragging the altitude thumb leaves the edit box alone until
// the thumb is released.
void CZolvaPalette::OnHScroll(int code, HWND scrollBar) {
    if (::GetDlgCtrlID(scrollBar) != IDC_ALTITUDE_SLIDER || code == SB_THUMBTRACK) return;
    altitudeText = FormatInteger(altitudeSlider.GetPos());
    UpdateData(FALSE);
}

// Setting a slider position sends no scroll message, so this never feeds OnHScroll.
void CZolvaPalette::OnAltitudeEditChange() {
    UpdateData(TRUE);
    altitudeSlider.SetPos(LeadingInteger(altitudeText));
}

void CZolvaPalette::OnDestroy() {
    tooltipsReady = 0;
    ReleaseButtonIcons();
    RECT rect;
    if (!::GetWindowRect(m_hWnd, &rect)) return;
    HPI_WriteProfileInt(g_pluginHandle, kKeyX, rect.left);
    HPI_WriteProfileInt(g_pluginHandle, kKeyY, rect.top);
}

void CZolvaPalette::CreateTooltips() {
    PluginResourceScope resources;
    tooltips.Create(this, TTS_NOPREFIX);
    for (const IconButton& button : kIconButtons) tooltips.AddTool(GetDlgItem(button.id), button.tip, button.id);
    tooltips.Activate(TRUE);
}

void CZolvaPalette::InitializeIcons() {
    const struct {
        CImageList& list;
        int grow;
        int bitmapId;
        COLORREF mask;
    } strips[] = {{methodImages, 4, IDB_METHOD_ICONS, kMethodMask}, {presetImages, 15, IDB_PRESET_ICONS, kPresetMask}};
    for (const auto& strip : strips) {
        strip.list.Create(kIconSide, kIconSide, ILC_COLORDDB | ILC_MASK, 0, strip.grow);
        HBITMAP bitmap = ::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(strip.bitmapId));
        strip.list.Add(bitmap, strip.mask);
        if (bitmap != nullptr) ::DeleteObject(bitmap);
    }
    for (const IconButton& button : kIconButtons) {
        HICON icon = (button.fromMethods ? methodImages : presetImages).ExtractIcon(button.image);
        SendDlgItemMessage(button.id, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    }
}

// -9999 marks no stored position (the top is not looked at). A position where the
// window would lie entirely off the screens is not used either, so the palette can
// always be reached.
void CZolvaPalette::MoveToSavedPosition() {
    if (savedX == kNoSavedPosition || !IsOnSomeMonitor(m_hWnd, savedX, savedY)) return;
    ::SetWindowPos(m_hWnd, nullptr, savedX, savedY, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CZolvaPalette::InitializeSliders() {
    const SliderSetup setups[] = {
        {&sizeSlider, kMinBrushSize, kMaxBrushSize, 10, 10},
        {&shapeSlider, 0, 100, 10, 10},
        {&strengthSlider, 0, 100, 10, 10},
        {&altitudeSlider, 0, 10000, 1000, 1000},
    };
    for (const SliderSetup& setup : setups) {
        setup.slider->SetRange(setup.minimum, setup.maximum, TRUE);
        setup.slider->SetPageSize(setup.page);
        setup.slider->SetTicFreq(setup.ticks);
    }
}

// A row spans from the first control's left to the last one's right; a column from the
// first one's top to the last one's bottom. Two outlines, one and two pixels outside.
void CZolvaPalette::DrawGroupFrame(HDC dc, int firstId, int lastId, bool vertical) {
    RECT first, last;
    ::GetWindowRect(GetDlgItem(firstId), &first);
    ::GetWindowRect(GetDlgItem(lastId), &last);
    RECT group = first;
    if (vertical) {
        group.bottom = last.bottom;
    } else {
        group.right = last.right;
    }
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&group), 2);
    ::InflateRect(&group, 1, 1);
    DrawEdgeRect(dc, group, COLOR_BTNSHADOW, COLOR_3DLIGHT);
    ::InflateRect(&group, 1, 1);
    DrawEdgeRect(dc, group, COLOR_3DDKSHADOW, COLOR_BTNHIGHLIGHT);
}

void CZolvaPalette::ReleaseButtonIcons() {
    for (const IconButton& button : kIconButtons) {
        auto icon = reinterpret_cast<HICON>(SendDlgItemMessage(button.id, BM_SETIMAGE, IMAGE_ICON, 0));
        if (icon != nullptr) ::DestroyIcon(icon);
    }
}
