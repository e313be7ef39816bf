// <windows.h> without the A/W name macros that collide with the platform layer's own
// function names (LoadLibrary, MessageBox, GetFileVersionInfo, ...). Every Win32 source of
// the platform layer includes this instead of <windows.h>.
#pragma once

#include <windows.h>

#undef CreateDirectory
#undef DeleteFile
#undef FormatMessage
#undef GetFileAttributes
#undef GetFileVersionInfo
#undef GetModuleFileName
#undef GetModuleHandle
#undef GetVersionEx
#undef LoadLibrary
#undef MessageBox
#undef RemoveDirectory
