// CPluginDialog and the module's static objects, linked into this test executable with
// the real module loaded beside it as the source of the plug-in's resources.
#include <string>

#include "module/statics.h"
#include "frame/plugin_dialog.h"
#include "host/hpi_win.h"
#include "res/resource.h"
#include "tests/windows/plugin_fixture.h"

namespace {

std::wstring Caption(HWND window) {
    wchar_t text[128] = {};
    ::GetWindowTextW(window, text, 128);
    return text;
}

class RecordingDialog : public CPluginDialog {
public:
    RecordingDialog() : CPluginDialog(IDD_PROGRESS, nullptr) {}

    std::wstring caption;
    HINSTANCE resourceDuringCreation = nullptr;

protected:
    BOOL OnInitDialog() override {
        caption = Caption(m_hWnd);
        resourceDuringCreation = HPI_GetResourceHandle();
        EndDialog(IDOK);
        return TRUE;
    }
};

class PluginDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        pluginModule_ = ::LoadLibraryW((ExecutableFolder() + L"Zolva.qpl").c_str());
        ASSERT_NE(nullptr, pluginModule_);
        savedModuleHandle_ = g_moduleHandle;
        g_moduleHandle = pluginModule_;
        hostModule_ = ::GetModuleHandleW(nullptr);
        HPI_SetResourceHandle(hostModule_);
    }
    void TearDown() override {
        g_moduleHandle = savedModuleHandle_;
        if (pluginModule_ != nullptr) ::FreeLibrary(pluginModule_);
    }

    HMODULE pluginModule_ = nullptr;
    HINSTANCE savedModuleHandle_ = nullptr;
    HINSTANCE hostModule_ = nullptr;
};

TEST_F(PluginDialogTest, PlainDialogFindsTheHostTemplate) {
    CDialog dialog(IDD_PROGRESS, nullptr);
    ASSERT_TRUE(dialog.Create(IDD_PROGRESS, nullptr));
    EXPECT_EQ(L"host template", Caption(dialog.m_hWnd))
        << "without the switch the host's resources answer first";
    dialog.DestroyWindow();
}

TEST_F(PluginDialogTest, ModelessCreationUsesThePluginTemplateAndRestoresTheHost) {
    CPluginDialog dialog(IDD_PROGRESS, nullptr);
    ASSERT_TRUE(dialog.Create(IDD_PROGRESS, nullptr));
    EXPECT_EQ(L"準備中", Caption(dialog.m_hWnd));
    EXPECT_EQ(hostModule_, HPI_GetResourceHandle()) << "the host's resource module is current again";
    EXPECT_NE(nullptr, dialog.GetDlgItem(IDC_PROGRESS_BAR));
    dialog.DestroyWindow();
}

TEST_F(PluginDialogTest, ModalRunUsesThePluginTemplateAndRestoresTheHost) {
    RecordingDialog dialog;
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(L"準備中", dialog.caption);
    EXPECT_EQ(pluginModule_, dialog.resourceDuringCreation);
    EXPECT_EQ(hostModule_, HPI_GetResourceHandle());
}

TEST_F(PluginDialogTest, MissingTemplateFailsAndStillRestoresTheHost) {
    CPluginDialog dialog(4242, nullptr);
    EXPECT_FALSE(dialog.Create(4242, nullptr));
    EXPECT_EQ(nullptr, dialog.m_hWnd);
    EXPECT_EQ(hostModule_, HPI_GetResourceHandle());
}

TEST(StaticObjectsTest, ConstructedTrackerKernelSettings) {
    EXPECT_STREQ("CStrokeTracker CBrushKernel CBrushSettings", StaticConstructionOrder());
}

}  // namespace
