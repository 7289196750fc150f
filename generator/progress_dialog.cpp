#include "generator/progress_dialog.h"

#include <commctrl.h>

#include "engine/map_editor.h"
#include "generator/terrain_generator.h"
#include "host/hpi_win.h"
#include "res/resource.h"

namespace {

const char kGeneratingText[] = "地形生成中..";

// The synthesis' view of its progress window.
class ProgressWindow : public GenerationProgress {
public:
    explicit ProgressWindow(CProgressDlg& dialog) : dialog_(dialog) {}

    void Open() override { dialog_.Create(IDD_PROGRESS, nullptr); }
    void SetPos(int percent) override { dialog_.SetPos(percent); }
    void Pump() override { dialog_.Pump(); }
    bool Aborted() const override { return dialog_.Aborted != 0; }
    void Close() override { dialog_.DestroyWindow(); }

private:
    CProgressDlg& dialog_;
};

}  // namespace

CProgressDlg::CProgressDlg(const char* text, int showAbort, CWnd* parent)
    : CPluginDialog(IDD_PROGRESS, parent), ShowAbort(showAbort), Aborted(0) {
    // A text that is not UTF-8 or does not fit shows as far as it converts.
    if (text != nullptr) {
        ::MultiByteToWideChar(CP_UTF8, 0, text, -1, messageText.text, static_cast<int>(WideText::kCapacity));
    }
}

void CProgressDlg::DoDataExchange(CDataExchange* dx) { DDX_Control(dx, IDC_PROGRESS_BAR, progressBar); }

BOOL CProgressDlg::OnInitDialog() {
    CPluginDialog::OnInitDialog();
    ::SetDlgItemTextW(m_hWnd, IDC_PROGRESS_LABEL, messageText.c_str());
    ::SendMessageW(progressBar.m_hWnd, PBM_SETRANGE32, 0, 100);
    ::SendMessageW(progressBar.m_hWnd, PBM_SETPOS, 0, 0);
    if (ShowAbort == 0) ::ShowWindow(GetDlgItem(IDC_PROGRESS_ABORT), SW_HIDE);
    CentreOnScreen();
    return TRUE;
}

BOOL CProgressDlg::OnCommand(WPARAM wp, LPARAM lp) {
    if (LOWORD(wp) != IDC_PROGRESS_ABORT) return CPluginDialog::OnCommand(wp, lp);
    OnAbort();
    return TRUE;
}

// Centred on the primary screen whatever the parent: half sizes truncate toward zero.
void CProgressDlg::CentreOnScreen() {
    RECT rect;
    ::GetWindowRect(m_hWnd, &rect);
    int w = rect.right - rect.left;
    int h = rect.bottom - rect.top;
    int dx = ::GetSystemMetrics(SM_CXSCREEN) / 2 - w / 2 - rect.left;
    int dy = ::GetSystemMetrics(SM_CYSCREEN) / 2 - h / 2 - rect.top;
    ::MoveWindow(m_hWnd, rect.left + dx, rect.top + dy, w, h, TRUE);
}

void CProgressDlg::SetPos(int percent) {
    if (progressBar.m_hWnd == nullptr || !::IsWindow(progressBar.m_hWnd)) return;
    ::SendMessageW(progressBar.m_hWnd, PBM_SETPOS, static_cast<WPARAM>(percent > 100 ? 100 : percent), 0);
}

int CProgressDlg::Pump() { return HPI_Pump(); }

void CProgressDlg::OnAbort() { Aborted = 1; }

int GenerateWithProgress(CTerrainGenerator& parameters, CMapEditor& editor, int column, int row) {
    CProgressDlg dialog(kGeneratingText, 1, nullptr);
    ProgressWindow window(dialog);
    return parameters.Generate(editor, column, row, window);
}
