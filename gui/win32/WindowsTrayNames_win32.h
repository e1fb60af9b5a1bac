#pragma once

// windows.h and shellapi.h without their macros for the names that
// tray/TrayShell.h declares as constants of the same values (WM_USER, the
// mouse messages, NIM_*, NIF_*). Include this before tray/TrayShell.h in
// Windows code; afterwards the names are the tray's constants.
#include <windows.h>

#include <shellapi.h>

#undef WM_USER
#undef WM_MOUSEMOVE
#undef WM_LBUTTONDOWN
#undef WM_LBUTTONUP
#undef WM_LBUTTONDBLCLK
#undef WM_RBUTTONDOWN
#undef WM_RBUTTONUP
#undef WM_RBUTTONDBLCLK
#undef WM_MBUTTONDOWN
#undef WM_MBUTTONUP
#undef WM_MBUTTONDBLCLK
#undef NIM_ADD
#undef NIM_MODIFY
#undef NIM_DELETE
#undef NIF_MESSAGE
#undef NIF_ICON
#undef NIF_TIP
