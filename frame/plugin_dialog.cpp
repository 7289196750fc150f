#include "frame/plugin_dialog.h"

#include "frame/module.h"
#include "host/hpi_win.h"

PluginResourceScope::PluginResourceScope() : previous_(HPI_GetResourceHandle()) {
    HPI_SetResourceHandle(g_moduleHandle);
}

PluginResourceScope::~PluginResourceScope() { HPI_SetResourceHandle(previous_); }

CPluginDialog::CPluginDialog(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

INT_PTR CPluginDialog::DoModal() {
    PluginResourceScope scope;
    return CDialog::DoModal();
}

BOOL CPluginDialog::Create(UINT templateId, CWnd* parent) {
    PluginResourceScope scope;
    return CDialog::Create(MAKEINTRESOURCEW(templateId), parent);
}
