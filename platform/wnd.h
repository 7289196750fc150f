// Windows and dialogs on plain Win32, as far as the plug-in needs them.
// A modeless dialog never sees the host's message loop, so while one exists a thread
// message hook hands each queued key and mouse message for it to PreTranslateMessage
// first; the default PreTranslateMessage runs the dialog keyboard interface (Tab, Esc,
// Enter) for keys and lets everything else through.
#pragma once

#include "host/wide_text.h"
#include "platform/afx.h"

class CWnd : public CObject {
public:
    CWnd() = default;
    ~CWnd() override = default;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // A live window: the handle is set and still names a window.
    bool IsLive() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd); }
    BOOL ShowWindow(int how) { return ::ShowWindow(m_hWnd, how); }
    virtual BOOL DestroyWindow();
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    LRESULT SendDlgItemMessage(int id, UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
        return ::SendDlgItemMessageW(m_hWnd, id, msg, wp, lp);
    }
    // Returns TRUE when the message was handled and must not be dispatched.
    virtual BOOL PreTranslateMessage(MSG* msg);

    HWND m_hWnd = nullptr;
};

class CDialog;

// Direction and target of one data exchange between controls and members.
struct CDataExchange {
    CDialog* dialog;
    BOOL saveAndValidate;  // TRUE: controls to members
};

// Attaches a control wrapper to the dialog's control with the given id.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// Radio group starting at `firstId`: index of the checked button, -1 when none is.
void DDX_Radio(CDataExchange* dx, int firstId, int& index);
// Texts longer than WideText holds are read cut at its capacity.
void DDX_Text(CDataExchange* dx, int id, WideText& value);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    virtual INT_PTR DoModal();
    BOOL Create(LPCWSTR templateName, CWnd* parent = nullptr);
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(int result);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    BOOL DestroyWindow() override;
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    virtual void DoDataExchange(CDataExchange*) {}
    // Exchanges data into the controls; returns TRUE to let the system set the focus.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // A WM_COMMAND; returns TRUE when handled.
    virtual BOOL OnCommand(WPARAM wp, LPARAM lp);
    // Messages other than WM_INITDIALOG and WM_COMMAND; returns TRUE when handled and
    // leaves the message result in `result`.
    virtual BOOL OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // Called after the window is gone.
    virtual void PostNcDestroy() {}

    UINT templateId_;
    HWND parentHwnd_;
    bool modal_ = false;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR Dispatch(UINT msg, WPARAM wp, LPARAM lp);
    LPCWSTR TemplateName() const { return MAKEINTRESOURCEW(templateId_); }
};
