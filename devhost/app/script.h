// Scripted sessions: a plain text file of commands, one per line, that drive devhost and
// the plug-in as a user would. Blank lines and lines starting with '#' are skipped.
//
//   open PATH                    open a map file (relative paths: from the output folder)
//   menu TEXT                    choose the Tools menu entry with this text
//   click CONTROL                click a palette button (BM_CLICK)
//   slider CONTROL POS           move a palette slider and release it
//   type CONTROL TEXT            replace the text of a palette edit box
//                                CONTROL: a name (script_controls.h: raise, size, altitude ...)
//                                or the control's number
//   key ESCAPE|TAB|ENTER         press a key in the palette
//   drag X0 Y0 X1 Y1 [STEPS]     drag in the map view between client pixels
//   dragmesh C0 R0 C1 R1 [STEPS] drag between mesh cells (column, row)
//                                Either drag takes, for any of its two points, a latitude
//                                and longitude with their hemispheres (36.352N 84.19W):
//                                the mesh cell that holds that place.
//   answer CONTROL TEXT          for the next generation dialog: text of an edit box
//   answer-slider CONTROL POS    ... move a slider
//   answer-click CONTROL         ... click a button (a blend method)
//   generate [PNG]               click the palette's generate button, answer the dialog
//                                (photographing it when a path is given) and confirm
//   generate-cancel [PNG]        the same, but cancel the dialog
//   undo                         click the palette's undo button
//   save                         save the map (the plug-ins write their edits)
//   zoom Z                       set the view's zoom (Z > 0 pixels per sample, Z < 0 samples per pixel;
//                                16 to -64, as the wheel's steps)
//   centre COLUMN ROW            centre the view on a mesh cell
//   centre LAT LON               ... or on a place (36.352N 84.19W)
//   wait MS                      let the windows run for a while
//   screenshot PATH              PNG of the main window with the palette
//   viewsize W H                 resize the main window so the view is W x H pixels
//   measure-moves COUNT PIXELS   a stroke of COUNT moves, PIXELS each; prints the time per
//                                move (median, 99th percentile)
//   measure-redraw COUNT         prints the time of a full redraw of the view (median,
//                                99th percentile)
//
// A failing command stops the script with its line number and the reason.
#pragma once

#include <windows.h>

#include <string>

namespace devhost {

struct ScriptResult {
    bool ok = true;
    int line = 0;
    std::string reason;
};

ScriptResult RunScript(HWND mainWindow, const std::string& utf8Path, const std::string& outputFolder);

}  // namespace devhost
