// Resource identifiers of the plug-in module, grouped by kind.
#pragma once

// Static controls without an id
#define IDC_STATIC (-1)

// Dialog templates
#define IDD_GENERATION 129
#define IDD_PROGRESS 20066
#define IDD_PALETTE 20160

// Bitmaps: rows of 32 x 32 icons
#define IDB_PRESET_ICONS 132
#define IDB_METHOD_ICONS 134

// Palette tooltip texts
#define IDS_TIP_SCROLL 7400
#define IDS_TIP_RAISE 7401
#define IDS_TIP_DIG 7402
#define IDS_TIP_FLATTEN 7403
#define IDS_TIP_SIZE_PRESET 7404
#define IDS_TIP_SHAPE_PRESET 7405
#define IDS_TIP_STRENGTH_PRESET 7406

// Palette controls: method buttons (a radio group in this order)
#define IDC_METHOD_SCROLL 8514
#define IDC_METHOD_RAISE 8515
#define IDC_METHOD_DIG 8516
#define IDC_METHOD_FLATTEN 8517

// Palette controls: sliders and their labels
#define IDC_SIZE_SLIDER 8484
#define IDC_SIZE_LABEL 8521
#define IDC_STRENGTH_SLIDER 8482
#define IDC_STRENGTH_LABEL 8522
#define IDC_SHAPE_SLIDER 8483
#define IDC_SHAPE_LABEL 8523
#define IDC_ALTITUDE_SLIDER 1010
#define IDC_ALTITUDE_LABEL 8519
#define IDC_ALTITUDE_EDIT 1009
#define IDC_ALTITUDE_UNIT 8520

// Palette controls: preset buttons, smallest value first
#define IDC_SIZE_PRESET_1 341
#define IDC_SIZE_PRESET_2 342
#define IDC_SIZE_PRESET_3 343
#define IDC_SIZE_PRESET_4 344
#define IDC_SIZE_PRESET_5 353
#define IDC_STRENGTH_PRESET_1 345
#define IDC_STRENGTH_PRESET_2 346
#define IDC_STRENGTH_PRESET_3 347
#define IDC_STRENGTH_PRESET_4 348
#define IDC_STRENGTH_PRESET_5 354
#define IDC_SHAPE_PRESET_1 349
#define IDC_SHAPE_PRESET_2 350
#define IDC_SHAPE_PRESET_3 351
#define IDC_SHAPE_PRESET_4 352
#define IDC_SHAPE_PRESET_5 355

// Palette controls: commands (copy and paste are never shown)
#define IDC_GENERATE_BUTTON 8518
#define IDC_UNDO_BUTTON 8513
#define IDC_COPY_BUTTON 8524
#define IDC_PASTE_BUTTON 8525

// Progress window controls
#define IDC_PROGRESS_ABORT 313
#define IDC_PROGRESS_LABEL 8025
#define IDC_PROGRESS_BAR 8060

// Generation dialog controls (the two border buttons are never shown)
#define IDC_GEN_RANGE_EDIT 1000
#define IDC_GEN_RANGE_SLIDER 1001
#define IDC_GEN_ROUGHNESS_SLIDER 1002
#define IDC_GEN_RELIEF_SLIDER 1003
#define IDC_GEN_METHOD_ADD 1004
#define IDC_GEN_METHOD_SUBTRACT 1005
#define IDC_GEN_METHOD_REPLACE 1006
#define IDC_GEN_EDGE_SMOOTH 1007
#define IDC_GEN_EDGE_AS_IS 1008
#define IDC_GEN_MAX_ALT_EDIT 1009
#define IDC_GEN_MAX_ALT_SLIDER 1010
#define IDC_GEN_MIN_ALT_EDIT 1011
#define IDC_GEN_MIN_ALT_SLIDER 1012
