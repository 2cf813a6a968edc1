#include "launcher/skin/bitmap_cache2.h"

CSkinBitmap* CBitmapCache2::getBitmap(int nKey)
{
    std::unique_ptr<CSkinBitmap>& pSlot = m_mapBitmaps[nKey];
    if (!pSlot)
        pSlot.reset(new CSkinBitmap());
    return pSlot.get();
}
