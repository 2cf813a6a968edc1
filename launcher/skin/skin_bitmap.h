#pragma once
// A bitmap object that may or may not hold an image yet; owns the image it holds.
#include <windows.h>

#include "common/unique_resource.h"

class CSkinBitmap
{
public:
    CSkinBitmap() noexcept = default;
    ~CSkinBitmap() = default;
    CSkinBitmap(const CSkinBitmap&) = delete;
    CSkinBitmap& operator=(const CSkinBitmap&) = delete;

    // Creates an image of cx x cy compatible with hdc, replacing any image held.
    bool CreateCompatible(HDC hdc, int cx, int cy) noexcept;
    // Takes ownership of hbm, replacing any image held.
    void Attach(HBITMAP hbm) noexcept;
    // Destroys the image; the object stays usable.
    void Release() noexcept;

    bool HasImage() const noexcept { return m_hbm.IsValid(); }
    HBITMAP GetHandle() const noexcept { return m_hbm.Get(); }

private:
    UniqueHBitmap m_hbm;
};
