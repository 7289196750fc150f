// A small modeless window with a one-line message, a bar from 0 to 100 and, on request,
// an abort button. Long work creates it, moves the bar, pumps the host's messages
// through it and polls `Aborted`. Calls stay harmless when the window could not be made.
#pragma once

#include "frame/plugin_dialog.h"
#include "host/wide_text.h"

class CMapEditor;
class CTerrainGenerator;

class CProgressDlg : public CPluginDialog {
public:
    CProgressDlg(const char* text, int ShowAbort, CWnd* parent);
    ~CProgressDlg() override = default;

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wp, LPARAM lp) override;

    // Values above 100 are lowered to 100; smaller ones go to the bar as they are.
    void SetPos(int percent);
    // One HPI_Pump; its result.
    int Pump();

    // Message handlers
    void OnAbort();

    CWnd progressBar;
    WideText messageText;
    int ShowAbort;
    int Aborted;

private:
    void CentreOnScreen();
};

// Generates with the parameters around (column, row), showing the progress window with
// its abort button; CTerrainGenerator::Generate's result.
int GenerateWithProgress(CTerrainGenerator& parameters, CMapEditor& editor, int column, int row);
