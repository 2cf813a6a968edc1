#include <gtest/gtest.h>

#include "common/registry.h"
#include "launcher/tolvik_constants.h"
#include "launcher/window_placement_store.h"
#include "launcher/resource.h"

namespace
{
WINDOWPLACEMENT At(LONG nLeft, LONG nTop)
{
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    wp.showCmd = SW_SHOW;
    wp.rcNormalPosition = {nLeft, nTop, nLeft + 606, nTop + 296};
    return wp;
}
}  // namespace

TEST(WindowPlacementStore, KeepsAtLeastOneHundredPixelsOnTheScreen)
{
    const SIZE window = {606, 296};
    const SIZE screen = {1024, 738};
    struct Case
    {
        LONG nLeft, nTop;
        bool bOnScreen;
    } cases[] = {
        {100, 100, true},
        {0, 0, true},
        {-505, 0, true},     // 101 pixels left of the window stay visible
        {-506, 0, false},    // exactly 100: not enough
        {0, -196, false},
        {0, -195, true},
        {923, 0, true},
        {924, 0, false},     // the right edge leaves fewer than 100 pixels
        {0, 637, true},
        {0, 638, false},
        {3000, 200, false},  // a monitor that is gone
        {-3000, -3000, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bOnScreen, CWindowPlacementStore::IsOnScreen(At(c.nLeft, c.nTop), window, screen))
            << c.nLeft << L"," << c.nTop;
}

TEST(WindowPlacementStore, SavesAndRestoresThroughTheUserProfile)
{
    HWND hwnd = ::CreateWindowExW(0, L"STATIC", L"placement", WS_POPUP | WS_CAPTION, 10, 10, 300, 200, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hwnd);
    const CWindowPlacementStore store(IDD_TOLVIK_DIALOG);
    const SIZE size = {300, 200};

    EXPECT_FALSE(store.Restore(hwnd, size));  // nothing stored yet

    ::SetWindowPos(hwnd, nullptr, 120, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    store.Save(hwnd);
    std::vector<BYTE> data;
    DWORD dwType = 0;
    ASSERT_HRESULT_SUCCEEDED(Registry::ReadValue(HKEY_CURRENT_USER, TOLVIK_PROFILE_KEY, L"102", data, dwType));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), dwType);
    ASSERT_EQ(44u, data.size());
    WINDOWPLACEMENT saved = {};
    memcpy(&saved, data.data(), sizeof(saved));
    EXPECT_EQ(static_cast<UINT>(SW_SHOW), saved.showCmd);  // a hidden window is stored as shown

    ::SetWindowPos(hwnd, nullptr, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(store.Restore(hwnd, size));
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    EXPECT_EQ(saved.rcNormalPosition.left, rc.left);
    EXPECT_EQ(saved.rcNormalPosition.top, rc.top);

    // A record of the wrong size is not a placement.
    ASSERT_HRESULT_SUCCEEDED(
        Registry::WriteValue(HKEY_CURRENT_USER, TOLVIK_PROFILE_KEY, L"102", REG_BINARY, data.data(), 40));
    WINDOWPLACEMENT wp = {};
    EXPECT_FALSE(store.Load(wp));

    // An off-screen record leaves the window where it is.
    ::SetWindowPos(hwnd, nullptr, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    WINDOWPLACEMENT gone = At(5000, 5000);
    ASSERT_HRESULT_SUCCEEDED(
        Registry::WriteValue(HKEY_CURRENT_USER, TOLVIK_PROFILE_KEY, L"102", REG_BINARY, &gone, sizeof(gone)));
    EXPECT_FALSE(store.Restore(hwnd, size));
    ::GetWindowRect(hwnd, &rc);
    EXPECT_EQ(400, rc.left);
    EXPECT_EQ(300, rc.top);
    ::DestroyWindow(hwnd);
}
