// Thin wrappers of the common controls the plug-in uses: trackbar, tooltip and image list.
// Each holds a handle and forwards to the control's messages; nothing is cached.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "platform/wnd.h"

class CSliderCtrl : public CWnd {
public:
    void SetRange(int minimum, int maximum, BOOL redraw = FALSE);
    void SetPageSize(int size);
    void SetTicFreq(int frequency);
    // Values outside the range are clamped by the control.
    void SetPos(int position);
    int GetPos() const;
};

class CToolTipCtrl : public CWnd {
public:
    ~CToolTipCtrl() override;

    // A tooltip window owned by `parent`.
    BOOL Create(CWnd* parent, DWORD style);
    // A tool covering `owner`'s client area, with tool id `toolId` and the text of string
    // `textId` from the current resource module.
    BOOL AddTool(HWND owner, UINT textId, UINT toolId);
    void Activate(BOOL active);
    void RelayEvent(MSG* msg);
};

class CImageList {
public:
    CImageList() = default;
    ~CImageList();
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    // Adds the images of a bitmap strip; pixels of `mask` colour become transparent.
    int Add(HBITMAP bitmap, COLORREF mask);
    // A new icon of image `index`, drawn normally; the caller destroys it.
    HICON ExtractIcon(int index) const;
    HIMAGELIST GetSafeHandle() const { return handle_; }

private:
    HIMAGELIST handle_ = nullptr;
};
