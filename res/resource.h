// Resource identifiers of the plug-in module, grouped by kind.
#pragma once

// Dialog templates
#define IDD_GENERATION 129
#define IDD_PROGRESS 20066
#define IDD_PALETTE 20160

// Progress window controls
#define IDC_PROGRESS_ABORT 313
#define IDC_PROGRESS_LABEL 8025
#define IDC_PROGRESS_BAR 8060
