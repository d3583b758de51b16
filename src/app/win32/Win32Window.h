#pragma once

#include <string>

#include "platform/win32/WindowsApi.h"

namespace tolvane {

// A font of the given character height in pixels (as the window's design gives it); falls back
// to whatever the system substitutes for a face it does not have. The caller owns it.
HFONT DesignFont(const wchar_t* face, int pixelHeight, BYTE charset, bool underline = false);
// How the font measures on the window's device (the screen's when window is null).
TEXTMETRICW FontMetrics(HFONT font, HWND window = nullptr);

// A window's text as UTF-8.
std::string WindowText(HWND window);
void SetWindowTextUtf8(HWND window, const std::string& text);

// Sizes a window so that its client area is width by height pixels.
void SetClientSize(HWND window, int width, int height);

}  // namespace tolvane
