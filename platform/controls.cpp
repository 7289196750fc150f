#include "platform/controls.h"

#include "platform/afx.h"

void CSliderCtrl::SetRange(int minimum, int maximum, BOOL redraw) {
    ::SendMessageW(m_hWnd, TBM_SETRANGEMIN, FALSE, minimum);
    ::SendMessageW(m_hWnd, TBM_SETRANGEMAX, redraw, maximum);
}

void CSliderCtrl::SetPageSize(int size) { ::SendMessageW(m_hWnd, TBM_SETPAGESIZE, 0, size); }

void CSliderCtrl::SetTicFreq(int frequency) { ::SendMessageW(m_hWnd, TBM_SETTICFREQ, frequency, 0); }

void CSliderCtrl::SetPos(int position) { ::SendMessageW(m_hWnd, TBM_SETPOS, TRUE, position); }

int CSliderCtrl::GetPos() const { return static_cast<int>(::SendMessageW(m_hWnd, TBM_GETPOS, 0, 0)); }

CToolTipCtrl::~CToolTipCtrl() {
    if (IsLive()) ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
    m_hWnd = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               parent->GetSafeHwnd(), nullptr, AfxGetResourceHandle(), nullptr);
    return m_hWnd != nullptr;
}

BOOL CToolTipCtrl::AddTool(HWND owner, UINT textId, UINT toolId) {
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    // No TTF_SUBCLASS: mouse messages reach the tooltip through RelayEvent only.
    tool.uFlags = 0;
    tool.hwnd = owner;
    tool.uId = toolId;
    ::GetClientRect(owner, &tool.rect);
    tool.hinst = AfxGetResourceHandle();
    tool.lpszText = MAKEINTRESOURCEW(textId);
    return static_cast<BOOL>(::SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)));
}

void CToolTipCtrl::Activate(BOOL active) { ::SendMessageW(m_hWnd, TTM_ACTIVATE, active, 0); }

void CToolTipCtrl::RelayEvent(MSG* msg) {
    ::SendMessageW(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
}

CImageList::~CImageList() {
    if (handle_ != nullptr) ImageList_Destroy(handle_);
}

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow) {
    if (handle_ != nullptr) ImageList_Destroy(handle_);
    handle_ = ImageList_Create(cx, cy, flags, initial, grow);
    return handle_ != nullptr;
}

int CImageList::Add(HBITMAP bitmap, COLORREF mask) { return ImageList_AddMasked(handle_, bitmap, mask); }

HICON CImageList::ExtractIcon(int index) const { return ImageList_GetIcon(handle_, index, ILD_NORMAL); }
