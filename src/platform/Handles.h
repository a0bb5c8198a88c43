#pragma once
#include <windows.h>
#include "platform/Unique.h"

// Closers with the exact signature Unique expects; DeleteObject takes any GDI object.
inline void CloseHandleQuietly(HANDLE handle) { CloseHandle(handle); }
inline void DestroyMenuQuietly(HMENU menu) { DestroyMenu(menu); }
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void DestroyIconQuietly(HICON icon) { DestroyIcon(icon); }
inline void DestroyWindowQuietly(HWND window) { DestroyWindow(window); }
inline void RegCloseKeyQuietly(HKEY key) { RegCloseKey(key); }

using UniqueHandle = Unique<HANDLE, &CloseHandleQuietly>;                       // mutex, event, process
using UniqueFile = Unique<HANDLE, &CloseHandleQuietly, -1>;   // CreateFileW results (INVALID_HANDLE_VALUE)
using UniqueMenu = Unique<HMENU, &DestroyMenuQuietly>;
using UniqueIcon = Unique<HICON, &DestroyIconQuietly>;
using UniqueWindow = Unique<HWND, &DestroyWindowQuietly>;

template <class Gdi>
inline void DeleteTypedGdiObject(Gdi object) { DeleteObject(object); }
using UniqueFont = Unique<HFONT, &DeleteTypedGdiObject<HFONT>>;
using UniquePen = Unique<HPEN, &DeleteTypedGdiObject<HPEN>>;
using UniqueBrush = Unique<HBRUSH, &DeleteTypedGdiObject<HBRUSH>>;
