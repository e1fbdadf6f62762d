// Resource numbers of setup.exe: dialog templates, their controls, bitmaps, icons and the
// string-table entries the interface reads as texts and appearance settings.
//
// Plain #defines only: the resource compiler reads this file as well as the C++ compiler.
// The numbers are fixed: the test drivers find pages and press buttons by their control ids.
//
// Bitmaps are 8-bit palettized DIBs, most of them run-length encoded (BI_RLE8) to keep the
// program small. Load them with LoadImage(LR_CREATEDIBSECTION); the loader expands the runs.
// Should a system refuse that, the bits can be expanded by hand: CreateDIBSection with the
// same header marked BI_RGB, then SetDIBits from the resource's own BITMAPINFO and bits.
// The colour table is always complete and exact, so the palette for 256-colour displays is
// built from it.
//
// Every button strip and animation strip is drawn on the surface colour C8E0F0 (settings
// 2021, 2027, 2090), which is also the flat body of every background, so a button sits
// seamlessly wherever a page or dialog places it. The page background (130) has a light
// header band 64 pixels high (the title's place) over that body.
//
// Sizes below are in pixels at 96 logical pixels per inch. On denser displays the Win32
// side stretches, never the bitmap itself:
//   - page and dialog backgrounds (130, 157, 160, 173, 180, 181, 190) are stretched with half-tone into the
//     window's client area, which keeps its dialog-unit size;
//   - frame backgrounds (134, 187) are drawn at their offsets scaled by dpi / 96 and at
//     their size scaled by dpi / 96;
//   - a button strip's frame (width / frames, full height) is stretched into the button's
//     client rectangle, and so is an animation frame into its placeholder (control 1051);
//   - icons are loaded at the system's icon sizes (LoadImage with LR_DEFAULTSIZE); each has a
//     16 x 16 and a 32 x 32 image, which the system scales beyond that.
#pragma once

// ---------------------------------------------------------------------------------------
// Dialog templates
// ---------------------------------------------------------------------------------------

// Wizard pages: 319 x 209 dialog units, "MS Sans Serif" 8, no caption.
#define IDD_WELCOME 129            // CWelcomeDlg
#define IDD_WELCOME_SCREENNAME 227 // CWelcomeScreenNameDlg
#define IDD_MEMBER_TYPE 138        // CMemberTypeDlg
#define IDD_INSTALL_DIR 139        // CInstallDirDlg
#define IDD_UPGRADE_LIST 140       // CUpgradeListDlg
#define IDD_DOWNLOADS_ACTION 141   // CDownloadsActionDlg
#define IDD_DISK_SPACE 142         // CDiskSpaceDlg
#define IDD_RECENT_VERSION 232     // CRecentVersionDlg

// Other dialogs.
#define IDD_RESUME_SETUP 155      // CResumeSetupDlg: resume or exit, modal
#define IDD_BUSY 156              // CBusyDlg, 266 x 113
#define IDD_PROGRESS 179          // CProgressDlg, 209 x 116
#define IDD_SELECT_DIR 170        // CSelectDirDlg, 331 x 205
#define IDD_SELECT_DRIVE 1037     // CSelectDirDlg with space columns, 403 x 221
#define IDD_DISK_CLEANUP 1036     // CDiskCleanupDlg, 337 x 242
#define IDD_CANCEL_SUMMARY 200    // CCancelSummaryDlg, 307 x 260
#define IDD_PRINTING 213          // printing status
#define IDD_INSTALL_AGREEMENT 246 // CInstallAgreementDlg, 270 x 289
#define IDD_LEGAL_VIEWER 247      // CLegalAgreementDlg, 270 x 238
#define IDD_OPTIONAL_FEATURES 248 // CZOVToolBarDlg, 309 x 202

// ---------------------------------------------------------------------------------------
// Controls
// ---------------------------------------------------------------------------------------

// On every page.
#define IDC_PAGE_BODY 1005  // body text (also the prompt of CSelectDirDlg)
#define IDC_PAGE_NEXT 1006  // Next (bitmap 131); on the welcome pages the line above the buttons
#define IDC_PAGE_TITLE 1007 // title
#define IDC_PAGE_HINT 1014  // "Click Next to continue."
#define IDC_PAGE_BACK 1019  // Back (bitmap 139)

// Welcome pages.
#define IDC_NEW_MEMBER 1060     // bitmap 177
#define IDC_CURRENT_MEMBER 1061 // bitmap 176
#define IDC_SCREEN_NAME 1376    // bitmap 228; its text is the branded screen name

// Member type page.
#define IDC_MEMBER_UPGRADE 1017
#define IDC_MEMBER_ADD_ACCOUNT 1018
#define IDC_MEMBER_ADDITIONAL 1011

// Install directory page.
#define IDC_DIR_CHANGE 1020  // bitmap 185
#define IDC_DIR_DISPLAY 1021 // sunken path display

// Upgrade list page.
#define IDC_CLIENT_LIST 1025
#define IDC_SCAN_DRIVES 1395 // bitmap 242

// Downloads action page.
#define IDC_FILES_LEAVE 1026
#define IDC_FILES_COPY 1027
#define IDC_FILES_MOVE 1028

// Recent version page.
#define IDC_RECENT_UPGRADE 1384
#define IDC_RECENT_SEARCH 1385
#define IDC_RECENT_FOLDER 1386

// Disk space page.
#define IDC_SPACE_CLEANUP_TEXT 1008
#define IDC_SPACE_CHANGE_TEXT 1009
#define IDC_SPACE_CLEANUP 1029 // bitmap 143
#define IDC_SPACE_CANCEL 1030  // bitmap 141
#define IDC_SPACE_CHANGE 1031  // bitmap 178
#define IDC_SPACE_REQUIRED 1059
#define IDC_SPACE_AVAILABLE 1060
#define IDC_SPACE_DRIVES 1061

// Resume dialog: Resume is IDCANCEL (default), Exit is IDOK.
#define IDC_RESUME_ICON 1088
#define IDC_RESUME_TEXT 1089

// Busy dialog and progress dialog.
#define IDC_BUSY_TEXT 1049
#define IDC_ANIMATION 1051 // where the animation strip is drawn
#define IDC_MAIN_BAR 1064
#define IDC_MAIN_PERCENT 1070
#define IDC_TOTAL_LABEL 1071
#define IDC_SECONDARY_LABEL 1072
#define IDC_SECONDARY_PERCENT 1073
#define IDC_SECONDARY_BAR 1074
#define IDC_PARTNER_NOTE 1075
// The progress dialog's cancel button is IDCANCEL (bitmap 141).

// The frame's movie control.
#define IDC_FLASH 1382

// Directory selection (170, 1037): Done is IDOK (bitmap 161), back IDCANCEL (bitmap 139).
#define IDC_SELECT_PATH 1055
#define IDC_SELECT_TREE 1057
#define IDC_DRIVE_LIST 1067
#define IDC_DRIVE_LABEL 1068
#define IDC_TREE_LABEL 1069

// Disk cleanup (1036): continue is IDOK (bitmap 192), cancel IDCANCEL (bitmap 141).
#define IDC_SHORTFALL 191
#define IDC_EXPLORER_TEXT 1052
#define IDC_EXPLORER_ICON 1053
#define IDC_LAUNCH_EXPLORER 1034 // bitmap 162
#define IDC_EMPTY_BIN 1033       // bitmap 163
#define IDC_BIN_ICON 1035
#define IDC_BIN_SIZE 1031
#define IDC_BIN_HINT 1032
#define IDC_DELETE_TEMP 1036 // bitmap 183
#define IDC_TEMP_HINT 1037
#define IDC_TEMP_SIZE 1038
#define IDC_TEMP_ICON 1055

// Cancel summary (200) and printing status (213). Exit is IDOK.
#define IDC_SUMMARY_TEXT 191
#define IDC_SUMMARY_SAVE 198
#define IDC_PRINT 199 // the link-like "Print" label of the legal dialogs, too
#define IDC_PRINTING_DOCUMENT 206
#define IDC_PRINTING_PRINTER 207
#define IDC_PRINTING_PORT 208
#define IDC_PRINTING_PAGE 209

// Legal agreement, legal viewer and optional features (246, 247, 248).
#define IDC_LEGAL_CANCEL 1030
#define IDC_LEGAL_AGREE 1077 // "I Agree"; "Continue" on 248
#define IDC_LEGAL_MAIN 1078
#define IDC_LEGAL_HEADER 1079
#define IDC_LEGAL_CONSENT 1080
#define IDC_LEGAL_DOCUMENT 1081
#define IDC_OPTION_TOOLBAR 1082
#define IDC_OPTION_TOOLBAR_TEXT 1083
#define IDC_OPTIONS_HEADER 1084
#define IDC_OPTIONS_GROUP 1085
#define IDC_OPTION_GADGET 1086
#define IDC_OPTION_GADGET_TEXT 1087

// ---------------------------------------------------------------------------------------
// Bitmaps
// ---------------------------------------------------------------------------------------

// Button strips: N frames side by side, each width / N wide. Frame order: 0 normal,
// 1 pressed, 2 focused, 3 focused and pressed, 4 disabled (five-frame strips only).
#define IDB_NEXT 131            // 364 x 48, 4 frames
#define IDB_BACK 139            // 260 x 32, 4 frames
#define IDB_CANCEL 141          // 228 x 21, 4 frames
#define IDB_DISK_CLEANUP 143    // 388 x 21, 4 frames
#define IDB_DONE 161            // 364 x 48, 4 frames
#define IDB_LAUNCH_EXPLORER 162 // 388 x 21, 4 frames
#define IDB_EMPTY_BIN 163       // 485 x 21, 5 frames
#define IDB_CURRENT_MEMBER 176  // 1728 x 53, 4 frames
#define IDB_NEW_MEMBER 177      // 1728 x 53, 4 frames
#define IDB_CHANGE_DRIVE 178    // 388 x 21, 4 frames
#define IDB_DELETE_TEMP 183     // 485 x 21, 5 frames
#define IDB_CHANGE_DIR 185      // 1180 x 16, 4 frames
#define IDB_CONTINUE 192        // 344 x 43, 4 frames
#define IDB_SCREEN_NAME 228     // 1728 x 53, 4 frames; a light face: the name goes on it in colour 2003
#define IDB_SCAN_DRIVES 242     // 388 x 21, 4 frames
#define ZOV_STRIP_FRAMES 4      // frames of every strip above but 163 and 183
#define ZOV_STRIP_FRAMES_DISABLE 5

// Backgrounds. A page or dialog drawn on one takes its size on a 96-dpi display.
#define IDB_PAGE_BACKGROUND 130           // 478 x 340, every wizard page, at the origin
#define IDB_SELECT_DIR_BACKGROUND 173     // 496 x 333, directory dialog (template 170), header 46
#define IDB_SELECT_DRIVE_BACKGROUND 190   // 604 x 359, directory dialog (template 1037), header 59
#define IDB_CLEANUP_BACKGROUND 160        // 505 x 393, disk cleanup dialog, header 62
#define IDB_FRAME_BACKGROUND 134          // 340 x 96, frame during the wizard, at (2040, 2041)
#define IDB_FRAME_PROGRESS_BACKGROUND 187 // 196 x 440, frame once progress has begun, at (2042, 2043)
#define IDB_BUSY_FEATURES_BACKGROUND 157  // 399 x 184, busy dialog of kind 1
#define IDB_BUSY_BACKGROUND 181           // 399 x 184, busy dialog of any other kind
#define IDB_PROGRESS_BACKGROUND 180       // 313 x 189, progress dialog over the movie

// Animation strips, drawn frame by frame at control 1051.
#define IDB_BUSY_ANIMATION 158     // 800 x 32: 25 frames of 32 x 32 (setting 2030)
#define IDB_PROGRESS_ANIMATION 244 // 256 x 32: 8 frames of 32 x 32
#define ZOV_PROGRESS_ANIMATION_FRAMES 8

// The directory tree's images: 16 x 16 each, cyan (00FFFF) transparent.
#define IDB_FOLDER_IMAGES 171

// ---------------------------------------------------------------------------------------
// Icons
// ---------------------------------------------------------------------------------------

#define IDI_FRAME 128      // frame, dialogs, the program file
#define IDI_EXPLORER 152   // disk cleanup: launch explorer
#define IDI_BIN_FULL 153   // disk cleanup: the recycle bin holds files
#define IDI_BIN_EMPTY 154  // disk cleanup: the recycle bin is empty
#define IDI_TEMP_FILES 182 // disk cleanup: temporary files

// ---------------------------------------------------------------------------------------
// Other resources
// ---------------------------------------------------------------------------------------

#define IDR_PROGRESS_MODULE 175 // BINARY: progupd.dll
#define IDR_CONSENT_PAGE 1397   // HTML: the consent sentence of the agreement

// ---------------------------------------------------------------------------------------
// String-table entries read by the interface
// ---------------------------------------------------------------------------------------

#define IDS_FRAME_CLASS 1 // "ZOVInstallerClass"
#define IDS_CAPTION 2     // caption of the frame, the message boxes and most dialogs
#define IDS_OUT_OF_MEMORY 4

// Texts.
#define IDS_UPGRADE_LIST_SCANNED 24
#define IDS_UPGRADE_LIST_INTRO 40
#define IDS_BUSY_SHUTDOWN 38
#define IDS_BUSY_SEARCH 1047
#define IDS_PARTNER_NOTE 1076
#define IDS_BUSY_FEATURES 1310
#define IDS_PROGRESS_CAPTION 1312
#define IDS_PERCENT 1313 // "%d%%"
#define IDS_BUSY_SETTINGS 1320
#define IDS_BUSY_SPACE 1334
#define IDS_BUSY_FEATURES2 1353
#define IDS_NO_UPGRADE 1267
#define IDS_TIP_NEW_MEMBER 1370
#define IDS_TIP_CURRENT_MEMBER 1371
#define IDS_TIP_SCREEN_NAME 1377
#define IDS_FEATURES_NEW 10000   // 10000-10009 for new members
#define IDS_FEATURES_OTHER 10020 // 10020-10029 for the other kinds
#define ZOV_FEATURE_LINES_MAX 10

// Appearance: a font is face, height, bold flag ("Y"/"TRUE"); a colour is "RRGGBB".
#define IDS_PAGE_FONT_FACE 2000
#define IDS_PAGE_FONT_HEIGHT 2001
#define IDS_PAGE_FONT_BOLD 2002
#define IDS_PAGE_TEXT_COLOUR 2003
#define IDS_TITLE_FONT_FACE 2005
#define IDS_TITLE_FONT_HEIGHT 2006
#define IDS_TITLE_FONT_BOLD 2007
#define IDS_TITLE_COLOUR 2008
#define IDS_HINT_BOLD 2010
#define IDS_LIST_FONT_FACE 2015
#define IDS_LIST_FONT_HEIGHT 2016
#define IDS_LIST_FONT_BOLD 2017
#define IDS_LIST_TEXT_COLOUR 2018
#define IDS_LIST_BACKGROUND 2019
#define IDS_FRAME_BACKGROUND_COLOUR 2020
#define IDS_PATH_BACKGROUND 2021 // also the busy dialog's background brush
#define IDS_BUSY_FONT_FACE 2022
#define IDS_BUSY_FONT_HEIGHT 2023
#define IDS_BUSY_FONT_BOLD 2024
#define IDS_PROGRESS_BACKGROUND 2027
#define IDS_BUSY_FRAMES 2030
#define IDS_DRIVE_COLUMN_WIDTH 2031
#define IDS_REQUIRED_COLUMN_WIDTH 2032
#define IDS_AVAILABLE_COLUMN_WIDTH 2033
#define IDS_FRAME_TILE 2038
#define IDS_FRAME_PROGRESS_TILE 2039
#define IDS_FRAME_LEFT 2040
#define IDS_FRAME_TOP 2041
#define IDS_FRAME_PROGRESS_LEFT 2042
#define IDS_FRAME_PROGRESS_TOP 2043
#define IDS_FRAME_TEXT_LEFT 2049
#define IDS_FRAME_TEXT_TOP 2051
#define IDS_FRAME_TEXT_SCALE 2053
#define IDS_HEADLINE_COLOUR 2055
#define IDS_HEADLINE_FONT_FACE 2057
#define IDS_HEADLINE_FONT_HEIGHT 2059
#define IDS_HEADLINE_FONT_BOLD 2061
#define IDS_HEADLINE_FONT_ITALIC 2063
#define IDS_HEADLINE_NEW_LOWRAM 2065
#define IDS_HEADLINE_OTHER_LOWRAM 2067
#define IDS_FEATURE_COLOUR 2068
#define IDS_FEATURE_FONT_FACE 2069
#define IDS_FEATURE_FONT_HEIGHT 2070
#define IDS_FEATURE_FONT_BOLD 2071
#define IDS_FEATURE_FONT_ITALIC 2072
#define IDS_SCREEN_NAME_LEFT 2084 // text offsets of the screen-name button
#define IDS_SCREEN_NAME_TOP 2085
#define IDS_SCREEN_NAME_RIGHT 2086
#define IDS_SCREEN_NAME_BOTTOM 2087
#define IDS_BAR_COLOUR 2088
#define IDS_BAR_BACKGROUND 2089
#define IDS_PROGRESS_BACKGROUND_MOVIE 2090
#define IDS_HEADLINE_NEW 2092
#define IDS_HEADLINE_OTHER 2093
