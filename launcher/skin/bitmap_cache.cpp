#include "launcher/skin/bitmap_cache.h"

#include <map>

#include "common/unique_resource.h"

namespace
{
// Owns the loaded bitmaps until the process ends (the function-local static's destructor
// runs at exit).
struct CBitmapMap
{
    std::map<UINT, UniqueHBitmap> m_map;
    HINSTANCE m_hInstance = nullptr;
};

CBitmapMap& Map()
{
    static CBitmapMap s_map;
    return s_map;
}
}  // namespace

HBITMAP CBitmapCache::getBitmap(UINT nId)
{
    CBitmapMap& map = Map();
    auto it = map.m_map.find(nId);
    if (it != map.m_map.end())
        return it->second.Get();
    HINSTANCE hInstance = map.m_hInstance ? map.m_hInstance : ::GetModuleHandleW(nullptr);
    // LR_CREATEDIBSECTION keeps the stored colours exactly (the magenta key of the check box
    // must survive on every screen depth).
    HBITMAP hbm = static_cast<HBITMAP>(
        ::LoadImageW(hInstance, MAKEINTRESOURCEW(nId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    map.m_map.emplace(nId, UniqueHBitmap(hbm));
    return hbm;
}

void CBitmapCache::SetResourceInstance(HINSTANCE hInstance) noexcept
{
    Map().m_hInstance = hInstance;
}

size_t CBitmapCache::GetCachedCount()
{
    return Map().m_map.size();
}
