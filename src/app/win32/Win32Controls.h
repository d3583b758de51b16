#pragma once

// The common controls and dialogs build on windows.h, which WindowsApi.h brings in first.
// clang-format off
#include "platform/win32/WindowsApi.h"
#include <commctrl.h>
#include <commdlg.h>
// clang-format on
