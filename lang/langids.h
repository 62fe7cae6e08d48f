// Resource ids of the language libraries that programs of the library may use.
#pragma once

#define IDS_BOX_TITLE 10001       // the message boxes' default title
#define IDS_FILE_NOT_OPENED 10110 // "$FILENAME" and "$ERROR" are replaced
#define IDD_STATEMSGBOX 10701     // the box with a remembered answer
#define IDC_STATE_TEXT 10001
#define IDC_STATE_ICON 10002
#define IDC_STATE_CHECK 10003
#define IDA_MAIN 200      // the main window's accelerator table
#define IDM_TRAY 300      // the notification icon's menu
#define IDM_EXIT 40001    // the command of Ctrl+Q and of the menu's exit item
#define IDM_SHOW 40002    // the menu's item that shows the main window
