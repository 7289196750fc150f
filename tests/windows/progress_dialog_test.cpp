// The progress window, linked into this executable with the real module loaded beside it
// as the source of its template.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "frame/module.h"
#include "generator/progress_dialog.h"
#include "host/hpi_win.h"
#include "res/resource.h"
#include "tests/windows/plugin_fixture.h"

namespace {

class ProgressDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = ::LoadLibraryW((ExecutableFolder() + L"Zolva.qpl").c_str());
        ASSERT_NE(nullptr, module_);
        saved_ = g_moduleHandle;
        g_moduleHandle = module_;
        HPI_SetResourceHandle(::GetModuleHandleW(nullptr));
    }
    void TearDown() override {
        g_moduleHandle = saved_;
        ::FreeLibrary(module_);
    }

    HMODULE module_ = nullptr;
    HINSTANCE saved_ = nullptr;
};

std::wstring Text(HWND window) {
    wchar_t text[128] = {};
    ::GetWindowTextW(window, text, 128);
    return text;
}

TEST_F(ProgressDialogTest, ShowsTheMessageAndCapsTheBar) {
    CProgressDlg dialog("地形生成中..", 1, nullptr);
    ASSERT_TRUE(dialog.Create(IDD_PROGRESS, nullptr));
    EXPECT_EQ(L"地形生成中..", Text(dialog.GetDlgItem(IDC_PROGRESS_LABEL))) << "never the template's text";
    EXPECT_EQ(L"準備中", Text(dialog.m_hWnd));
    HWND bar = dialog.GetDlgItem(IDC_PROGRESS_BAR);
    EXPECT_EQ(0, ::SendMessageW(bar, PBM_GETPOS, 0, 0));
    EXPECT_EQ(100, ::SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    const struct {
        int set, shown;
    } rows[] = {{0, 0}, {37, 37}, {100, 100}, {150, 100}, {96, 96}};
    for (const auto& row : rows) {
        dialog.SetPos(row.set);
        EXPECT_EQ(row.shown, ::SendMessageW(bar, PBM_GETPOS, 0, 0)) << "SetPos(" << row.set << ")";
    }
    EXPECT_TRUE(::IsWindowVisible(dialog.GetDlgItem(IDC_PROGRESS_ABORT)));
    EXPECT_EQ(0, dialog.Aborted);
    ::SendMessageW(dialog.GetDlgItem(IDC_PROGRESS_ABORT), BM_CLICK, 0, 0);
    EXPECT_EQ(1, dialog.Aborted);
    EXPECT_TRUE(::IsWindow(dialog.m_hWnd)) << "the window stays until its owner destroys it";
    dialog.DestroyWindow();
}

TEST_F(ProgressDialogTest, WithoutAbortButtonTheFlagStaysClear) {
    CProgressDlg dialog("x", 0, nullptr);
    ASSERT_TRUE(dialog.Create(IDD_PROGRESS, nullptr));
    EXPECT_FALSE(::IsWindowVisible(dialog.GetDlgItem(IDC_PROGRESS_ABORT)));
    EXPECT_EQ(0, dialog.Aborted);
    dialog.DestroyWindow();
}

TEST_F(ProgressDialogTest, CentredOnThePrimaryScreenEvenWithAParent) {
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                                    nullptr, nullptr, nullptr);
    CWnd owner;
    owner.m_hWnd = parent;
    CProgressDlg dialog("x", 1, &owner);
    ASSERT_TRUE(dialog.Create(IDD_PROGRESS, &owner));
    RECT rect;
    ::GetWindowRect(dialog.m_hWnd, &rect);
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN) / 2 - w / 2, rect.left);
    EXPECT_EQ(::GetSystemMetrics(SM_CYSCREEN) / 2 - h / 2, rect.top);
    dialog.DestroyWindow();
    owner.m_hWnd = nullptr;
    ::DestroyWindow(parent);
}

TEST_F(ProgressDialogTest, CallsStayHarmlessWithoutAWindow) {
    CProgressDlg dialog("x", 1, nullptr);
    dialog.SetPos(50);
    EXPECT_EQ(1, dialog.Pump());
    dialog.DestroyWindow();
    EXPECT_EQ(0, dialog.Aborted);
    ASSERT_TRUE(dialog.Create(IDD_PROGRESS, nullptr));
    dialog.DestroyWindow();
    dialog.SetPos(70);  // after its window is gone
    EXPECT_EQ(1, dialog.Pump());
}

}  // namespace
