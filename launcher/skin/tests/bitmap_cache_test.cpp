// The process-wide resource cache, the per-object bitmap cache, and the generated artwork.
#include <gtest/gtest.h>

#include "common/unique_resource.h"
#include "launcher/skin/bitmap_cache.h"
#include "launcher/skin/bitmap_cache2.h"
#include "launcher/skin/skin_draw.h"
#include "launcher/skin/skin_resource_ids.h"

TEST(BitmapCacheTest, SameIdIsLoadedOnce)
{
    const size_t nBefore = CBitmapCache::GetCachedCount();
    HBITMAP hbmFirst = CBitmapCache::getBitmap(IDB_MUSIC_HOVER);
    HBITMAP hbmSecond = CBitmapCache::getBitmap(IDB_MUSIC_HOVER);
    ASSERT_NE(nullptr, hbmFirst);
    // A second load would have produced a new handle.
    EXPECT_EQ(hbmFirst, hbmSecond);
    EXPECT_LE(CBitmapCache::GetCachedCount(), nBefore + 1);
    EXPECT_EQ(OBJ_BITMAP, static_cast<int>(::GetObjectType(hbmFirst)));
}

TEST(BitmapCacheTest, MissingResourceIsCachedAsEmpty)
{
    const size_t nBefore = CBitmapCache::GetCachedCount();
    EXPECT_EQ(nullptr, CBitmapCache::getBitmap(64999));
    EXPECT_EQ(nullptr, CBitmapCache::getBitmap(64999));
    EXPECT_EQ(nBefore + 1, CBitmapCache::GetCachedCount());
}

TEST(BitmapCacheTest, EveryArtworkIdLoadsWithConsistentSizes)
{
    struct Group
    {
        const char* pszName;
        UINT nIds[6];
        int nCount;
    };
    const Group groups[] = {
        {"check box",
         {IDB_CHECK_OFF_NORMAL, IDB_CHECK_OFF_HOVER, IDB_CHECK_OFF_PRESSED, IDB_CHECK_ON_NORMAL,
          IDB_CHECK_ON_HOVER, IDB_CHECK_ON_PRESSED},
         6},
        {"caption buttons",
         {IDB_CAPTION_MINIMIZE, IDB_CAPTION_MINIMIZE_HOVER, IDB_CAPTION_MINIMIZE_PRESSED,
          IDB_CAPTION_CLOSE, IDB_CAPTION_CLOSE_HOVER, IDB_CAPTION_CLOSE_PRESSED},
         6},
        {"music", {IDB_MUSIC_NORMAL, IDB_MUSIC_HOVER, IDB_MUSIC_PRESSED}, 3},
        {"photo", {IDB_PHOTO_NORMAL, IDB_PHOTO_HOVER, IDB_PHOTO_PRESSED}, 3},
        {"video", {IDB_VIDEO_NORMAL, IDB_VIDEO_HOVER, IDB_VIDEO_PRESSED}, 3},
        {"podcast", {IDB_PODCAST_NORMAL, IDB_PODCAST_HOVER, IDB_PODCAST_PRESSED}, 3},
        {"download", {IDB_DOWNLOAD_NORMAL, IDB_DOWNLOAD_HOVER, IDB_DOWNLOAD_PRESSED}, 3},
        {"setting", {IDB_SETTING_NORMAL, IDB_SETTING_HOVER, IDB_SETTING_PRESSED}, 3},
    };
    for (const Group& group : groups)
    {
        SCOPED_TRACE(group.pszName);
        const SIZE first = skin::BitmapSize(CBitmapCache::getBitmap(group.nIds[0]));
        EXPECT_GT(first.cx, 0);
        for (int i = 1; i < group.nCount; ++i)
        {
            const SIZE size = skin::BitmapSize(CBitmapCache::getBitmap(group.nIds[i]));
            EXPECT_EQ(first.cx, size.cx) << group.nIds[i];
            EXPECT_EQ(first.cy, size.cy) << group.nIds[i];
        }
    }
    const SIZE background = skin::BitmapSize(CBitmapCache::getBitmap(IDB_TOLVIK_BACKGROUND));
    EXPECT_EQ(600, background.cx);
    EXPECT_EQ(290, background.cy);
    // Content buttons sit 112 pixels apart from x 21 and must not overlap or leave the window.
    const SIZE tile = skin::BitmapSize(CBitmapCache::getBitmap(IDB_MUSIC_NORMAL));
    EXPECT_LE(tile.cx, 112);
    EXPECT_LE(469 + tile.cx, 600);
    EXPECT_LE(147 + tile.cy, 258);  // above the bottom row (check box, Setting)
    const SIZE setting = skin::BitmapSize(CBitmapCache::getBitmap(IDB_SETTING_NORMAL));
    EXPECT_LE(508 + setting.cx, 600);
    EXPECT_LE(258 + setting.cy, 290);
}

TEST(BitmapCacheTest, CheckBoxBitmapsCarryTheTransparentKeyInTheirCorners)
{
    for (UINT nId = IDB_CHECK_OFF_NORMAL; nId <= IDB_CHECK_ON_PRESSED; ++nId)
    {
        HBITMAP hbm = CBitmapCache::getBitmap(nId);
        ASSERT_NE(nullptr, hbm);
        UniqueCreatedDC dc(::CreateCompatibleDC(nullptr));
        HDC hdc = dc.Get();
        HGDIOBJ hOld = ::SelectObject(hdc, hbm);
        const SIZE size = skin::BitmapSize(hbm);
        EXPECT_EQ(RGB(255, 0, 255), ::GetPixel(hdc, 0, 0)) << nId;
        EXPECT_EQ(RGB(255, 0, 255), ::GetPixel(hdc, size.cx - 1, size.cy - 1)) << nId;
        EXPECT_NE(RGB(255, 0, 255), ::GetPixel(hdc, size.cx / 2, size.cy / 2)) << nId;
        ::SelectObject(hdc, hOld);
    }
}

TEST(BitmapCache2Test, MissCreatesAnEmptyObjectKeptUnderItsKey)
{
    CBitmapCache2 cache;
    CSkinBitmap* pNormal = cache.getBitmap(0);
    ASSERT_NE(nullptr, pNormal);
    EXPECT_FALSE(pNormal->HasImage());
    EXPECT_EQ(pNormal, cache.getBitmap(0));
    CSkinBitmap* pHover = cache.getBitmap(1);
    EXPECT_NE(pNormal, pHover);
    EXPECT_EQ(2u, cache.GetCount());
}

TEST(BitmapCache2Test, ImagesDieWithTheCache)
{
    HBITMAP hbm = nullptr;
    {
        CBitmapCache2 cache;
        HDC hdcScreen = ::GetDC(nullptr);
        ASSERT_TRUE(cache.getBitmap(2)->CreateCompatible(hdcScreen, 10, 10));
        ::ReleaseDC(nullptr, hdcScreen);
        hbm = cache.getBitmap(2)->GetHandle();
        EXPECT_EQ(OBJ_BITMAP, static_cast<int>(::GetObjectType(hbm)));
    }
    EXPECT_EQ(0u, ::GetObjectType(hbm));
}
