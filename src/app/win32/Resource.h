#pragma once

// Resource ids shared by Tolvane.rc and the window code.
// The program's icon, which the desktop shows for tolvane.exe: the first icon of the file.
#define IDI_TOLVANE 1
#define IDD_ABOUT 100
#define IDC_ABOUT_NAME 101
#define IDC_ABOUT_VERSION 102
#define IDC_ABOUT_NOTICE 103
#define IDC_ABOUT_COMMENTS 104
#define IDC_ABOUT_URL 105
#define IDD_ASKTEXT 110
#define IDC_ASKTEXT_LABEL 111
#define IDC_ASKTEXT_EDIT 112
