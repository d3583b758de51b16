#pragma once

// <windows.h> and the shell's headers (which need it first) for our sources. Its macros that rename
// functions by character set (CopyFile -> CopyFileA) would also rename the FileSystem methods of
// the same names, and min/max would break the standard library's; both are taken back here.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The shell's headers build on windows.h.
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#undef CopyFile
#undef DeleteFile
#undef ReplaceFile
