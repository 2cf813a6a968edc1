#pragma once
// Process-wide cache of bitmap resources: each id is loaded once and kept until the process
// ends, so every button of the window shares one copy of each image.
#include <windows.h>

class CBitmapCache
{
public:
    // The bitmap of resource id; nullptr when the resource does not load (that result is
    // cached as well, so a missing id is looked up once). The cache owns the bitmap.
    static HBITMAP getBitmap(UINT nId);

    // Module whose resources are loaded; the program's own module by default.
    static void SetResourceInstance(HINSTANCE hInstance) noexcept;
    // Number of ids looked up so far (loaded or not).
    static size_t GetCachedCount();
};
