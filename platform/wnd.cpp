#include "platform/wnd.h"


namespace {

// Modeless dialogs alive on this thread; the message hook exists while there are any.
// Plain arrays with no destructor: dialogs destroyed by other static objects' teardown
// at unload must still find the list intact and take the hook down with them.
const int kMaxModeless = 16;
CDialog* g_modeless[kMaxModeless];
int g_modelessCount = 0;
HHOOK g_messageHook = nullptr;

CDialog* ModelessOwning(HWND hwnd) {
    for (int i = 0; i < g_modelessCount; ++i) {
        HWND top = g_modeless[i]->GetSafeHwnd();
        if (top != nullptr && (hwnd == top || ::IsChild(top, hwnd))) return g_modeless[i];
    }
    return nullptr;
}

bool IsKeyMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

bool IsMouseMessage(UINT message) { return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST; }

LRESULT CALLBACK GetMessageHook(int code, WPARAM wp, LPARAM lp) {
    MSG* msg = reinterpret_cast<MSG*>(lp);
    if (code == HC_ACTION && wp == PM_REMOVE && (IsKeyMessage(msg->message) || IsMouseMessage(msg->message))) {
        CDialog* dialog = ModelessOwning(msg->hwnd);
        if (dialog != nullptr && dialog->PreTranslateMessage(msg)) {
            msg->message = WM_NULL;
            msg->wParam = 0;
            msg->lParam = 0;
        }
    }
    return ::CallNextHookEx(g_messageHook, code, wp, lp);
}

void AddModeless(CDialog* dialog) {
    if (g_modelessCount == kMaxModeless) return;
    g_modeless[g_modelessCount++] = dialog;
    if (g_messageHook == nullptr) {
        g_messageHook = ::SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr,
                                            ::GetCurrentThreadId());
    }
}

void RemoveModeless(CDialog* dialog) {
    for (int i = 0; i < g_modelessCount; ++i) {
        if (g_modeless[i] != dialog) continue;
        g_modeless[i] = g_modeless[--g_modelessCount];
        break;
    }
    if (g_modelessCount == 0 && g_messageHook != nullptr) {
        ::UnhookWindowsHookEx(g_messageHook);
        g_messageHook = nullptr;
    }
}

}  // namespace

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr) return FALSE;
    HWND hwnd = m_hWnd;
    m_hWnd = nullptr;
    return ::DestroyWindow(hwnd);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd == nullptr) control.m_hWnd = dx->dialog->GetDlgItem(id);
}

namespace {

bool IsRadioButton(HWND control) {
    LONG type = ::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// The next button of the group that starts at `first`, in template order: following
// siblings up to the next control that starts a group. Hidden and disabled buttons count,
// which the system's group walk would skip. Null after the last.
HWND NextRadio(HWND first, HWND current) {
    for (HWND control = current == nullptr ? first : ::GetWindow(current, GW_HWNDNEXT); control != nullptr;
         control = ::GetWindow(control, GW_HWNDNEXT)) {
        if (control != first && (::GetWindowLongW(control, GWL_STYLE) & WS_GROUP)) return nullptr;
        if (IsRadioButton(control)) return control;
    }
    return nullptr;
}

}  // namespace

void DDX_Radio(CDataExchange* dx, int firstId, int& index) {
    HWND first = dx->dialog->GetDlgItem(firstId);
    if (first == nullptr) {
        if (dx->saveAndValidate) index = -1;
        return;
    }
    int i = 0;
    if (!dx->saveAndValidate) {
        for (HWND button = NextRadio(first, nullptr); button != nullptr; button = NextRadio(first, button), ++i) {
            ::SendMessageW(button, BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        return;
    }
    index = -1;
    for (HWND button = NextRadio(first, nullptr); button != nullptr; button = NextRadio(first, button), ++i) {
        if (::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED) {
            index = i;
            return;
        }
    }
}

void DDX_Text(CDataExchange* dx, int id, WideText& value) {
    HWND control = dx->dialog->GetDlgItem(id);
    if (!dx->saveAndValidate) {
        ::SetWindowTextW(control, value.c_str());
        return;
    }
    int copied = ::GetWindowTextW(control, value.text, static_cast<int>(WideText::kCapacity) + 1);
    value.text[copied > 0 ? copied : 0] = L'\0';
}

CDialog::CDialog(UINT templateId, CWnd* parent)
    : templateId_(templateId), parentHwnd_(parent != nullptr ? parent->m_hWnd : nullptr) {}

CDialog::~CDialog() {
    RemoveModeless(this);
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
        ::DestroyWindow(m_hWnd);
    }
    m_hWnd = nullptr;
}

INT_PTR CDialog::DoModal() {
    HINSTANCE source = AfxFindResourceHandle(TemplateName(), RT_DIALOG);
    if (source == nullptr) return -1;
    modal_ = true;
    INT_PTR result = ::DialogBoxParamW(source, TemplateName(), parentHwnd_, DialogProc,
                                       reinterpret_cast<LPARAM>(this));
    modal_ = false;
    m_hWnd = nullptr;
    return result;
}

BOOL CDialog::Create(LPCWSTR templateName, CWnd* parent) {
    if (parent != nullptr) parentHwnd_ = parent->m_hWnd;
    HINSTANCE source = AfxFindResourceHandle(templateName, RT_DIALOG);
    if (source == nullptr) return FALSE;
    modal_ = false;
    HWND hwnd = ::CreateDialogParamW(source, templateName, parentHwnd_, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (hwnd == nullptr) return FALSE;
    AddModeless(this);
    return TRUE;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    templateId_ = templateId;
    return Create(MAKEINTRESOURCEW(templateId), parent);
}

void CDialog::EndDialog(int result) {
    if (modal_) {
        ::EndDialog(m_hWnd, result);
    } else {
        ::ShowWindow(m_hWnd, SW_HIDE);
    }
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    if (m_hWnd == nullptr) return FALSE;
    CDataExchange dx{this, saveAndValidate};
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::DestroyWindow() {
    if (m_hWnd == nullptr) return FALSE;
    return ::DestroyWindow(m_hWnd);
}

// Only keys go through the dialog keyboard interface; mouse messages are dispatched as usual.
BOOL CDialog::PreTranslateMessage(MSG* msg) {
    return m_hWnd != nullptr && IsKeyMessage(msg->message) && ::IsDialogMessageW(m_hWnd, msg);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnCommand(WPARAM wp, LPARAM) {
    switch (LOWORD(wp)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return FALSE; }

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        reinterpret_cast<CDialog*>(lp)->m_hWnd = hwnd;
    }
    auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (dialog == nullptr) return FALSE;
    return dialog->Dispatch(msg, wp, lp);
}

INT_PTR CDialog::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(wp, lp);
    case WM_NCDESTROY: {
        LRESULT ignored = 0;
        OnMessage(msg, wp, lp, ignored);
        ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
        RemoveModeless(this);
        m_hWnd = nullptr;
        PostNcDestroy();
        return FALSE;
    }
    default: {
        LRESULT result = 0;
        if (!OnMessage(msg, wp, lp, result)) return FALSE;
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    }
}
