// Dialog base of the plug-in's windows: makes the plug-in's module the current resource
// module while a dialog is created, so its templates are found even though the host's
// resources are current, and gives the host's module back afterwards.
#pragma once

#include "platform/wnd.h"

// Makes the plug-in's module the current resource module for its lifetime, and gives
// the previous one back at the end.
class PluginResourceScope {
public:
    PluginResourceScope();
    ~PluginResourceScope();
    PluginResourceScope(const PluginResourceScope&) = delete;
    PluginResourceScope& operator=(const PluginResourceScope&) = delete;

private:
    HINSTANCE previous_;
};

class CPluginDialog : public CDialog {
public:
    CPluginDialog(UINT templateId, CWnd* parent);
    ~CPluginDialog() override = default;

    INT_PTR DoModal() override;
    BOOL Create(UINT templateId, CWnd* parent);
};
