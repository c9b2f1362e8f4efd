#pragma once
// Resource and control ids shared by the program, its resource script and the tests.

// Main dialog (template 101) and its controls.
#define IDD_MAIN 101
#define IDC_HELP_BUTTON 102
#define IDC_IMAGE_GROUP 1001
#define IDC_DRIVE_GROUP 1002
#define IDC_IMAGE_TEXT 1003
#define IDC_IMAGE_PATH 1004
#define IDC_BROWSE 1005
#define IDC_DRIVE_LIST 1006
#define IDC_DRIVE_TEXT 1007
#define IDC_FORMAT 1008
#define IDC_START 1009
#define IDC_EXIT 1010
#define IDC_PICTURE 1012

// Progress dialog (template 1000) and its controls.
#define IDD_PROGRESS 1000
#define IDC_LOG 1001
#define IDC_PROGRESS_BAR 1002
#define IDC_STOP_CLOSE 1003

// Icons and bitmaps.
#define IDI_PROGRAM_LARGE 101
#define IDI_PROGRAM_SMALL 102
#define IDI_HELP_MARK 104
#define IDB_PICTURE_NORMAL 100
#define IDB_PICTURE_HOVER 103

// Message table: string ids 1..40.
#define MESSAGE_COUNT 40
