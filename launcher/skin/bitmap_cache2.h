#pragma once
// Per-object cache of bitmap objects by integer key. A new key gets an empty object in which
// the caller creates the image; the cache destroys every object with itself.
#include <map>
#include <memory>

#include "launcher/skin/skin_bitmap.h"

class CBitmapCache2
{
public:
    CBitmapCache2() = default;
    ~CBitmapCache2() = default;
    CBitmapCache2(const CBitmapCache2&) = delete;
    CBitmapCache2& operator=(const CBitmapCache2&) = delete;

    // The object stored under nKey, created empty on first use. Never nullptr.
    CSkinBitmap* getBitmap(int nKey);
    size_t GetCount() const noexcept { return m_mapBitmaps.size(); }

private:
    std::map<int, std::unique_ptr<CSkinBitmap>> m_mapBitmaps;
};
