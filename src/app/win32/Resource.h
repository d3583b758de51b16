#pragma once

// Resource ids shared by Tolvane.rc and the window code.
#define IDD_ABOUT 100
#define IDC_ABOUT_NAME 101
#define IDC_ABOUT_VERSION 102
#define IDC_ABOUT_NOTICE 103
#define IDC_ABOUT_COMMENTS 104
#define IDC_ABOUT_URL 105
