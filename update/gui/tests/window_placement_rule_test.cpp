// Where the update windows open: the parent rectangle string, the centre beside the parent and
// the clamping into the desktop.
#include <gtest/gtest.h>

#include "update/gui/gui_codes.h"
#include "update/gui/window_placement_rule.h"

namespace
{
TEST(ParentRect, ParsesLeftTopWidthHeight)
{
    RECT rc = {};
    ASSERT_EQ(S_OK, ZepParseParentRect(L"100,100,400,300", &rc));
    EXPECT_EQ(100, rc.left);
    EXPECT_EQ(100, rc.top);
    EXPECT_EQ(500, rc.right);
    EXPECT_EQ(400, rc.bottom);
    ASSERT_EQ(S_OK, ZepParseParentRect(L" -20 , 5,10, 10 ", &rc));
    EXPECT_EQ(-20, rc.left);
    EXPECT_EQ(-10, rc.right);
}

TEST(ParentRect, NullIsNothingToDoAndMalformedIsRefused)
{
    RECT rc = {1, 2, 3, 4};
    EXPECT_EQ(S_FALSE, ZepParseParentRect(nullptr, &rc));
    const wchar_t* const malformed[] = {
        L"",
        L"100,100,400",            // fewer than four
        L"100,100,0,300",          // empty
        L"100,100,400,-1",         // negative height
        L"100,100,400,300,7",      // more than four
        L"100;100;400;300",
        L"a,b,c,d",
        L"100,100,400,3x",
        L"100,,400,300",
        L"1,1,99999999999,1",      // beyond an integer
        L"2147483647,0,1,1",       // right beyond an integer
    };
    for (const wchar_t* psz : malformed)
    {
        SCOPED_TRACE(testing::Message() << "\"" << psz << "\"");
        EXPECT_EQ(ZEP_E_GUI_INVALIDARG, ZepParseParentRect(psz, &rc));
    }
    EXPECT_EQ(1, rc.left) << "a refused string leaves the rectangle alone";
}

struct CentreCase
{
    const char* pszLabel;
    RECT rcParent;
    LONG nDesktopRight;
    LONG nDesktopBottom;
    POINT ptExpected;
};

TEST(ParentRect, CentreBesideTheParent)
{
    const CentreCase cases[] = {
        // Room right of the parent: the middle of that space.
        {"wide desktop", {100, 100, 500, 400}, 1280, 1024, {500 + (1280 - 500) / 2, 512}},
        {"exactly wide enough", {100, 100, 500, 400}, 1030, 768, {765, 384}},
        // Not enough room on either side: against the desktop's right edge.
        {"narrow desktop", {100, 100, 500, 400}, 1029, 768, {1029 - 265, 384}},
        {"parent at the right edge", {400, 0, 1024, 700}, 1024, 768, {1024 - 265, 384}},
        // A parent far enough right: the middle of the space left of it.
        {"room on the left", {600, 50, 1000, 450}, 1920, 1080, {300, 540}},
        {"left exactly 530", {530, 50, 800, 450}, 1920, 1080, {800 + (1920 - 800) / 2, 540}},
    };
    for (const CentreCase& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        const RECT rcDesktop = {0, 0, c.nDesktopRight, c.nDesktopBottom};
        const POINT pt = ZepCentreBesideParent(c.rcParent, rcDesktop);
        EXPECT_EQ(c.ptExpected.x, pt.x);
        EXPECT_EQ(c.ptExpected.y, pt.y);
    }
}

TEST(Placement, ClampedIntoTheDesktopWithTheMargin)
{
    const RECT rcDesktop = {0, 0, 1024, 768};
    const SIZE size = {530, 300};
    const int nMargin = 13;
    struct
    {
        POINT ptCentre;
        POINT ptTopLeft;
    } cases[] = {
        {{512, 384}, {247, 234}},                    // inside: centred on the point
        {{1024 - 265, 384}, {1024 - 13 - 530, 234}}, // the right edge keeps its margin
        {{0, 0}, {13, 13}},
        {{2000, 2000}, {1024 - 13 - 530, 768 - 13 - 300}},
    };
    for (const auto& c : cases)
    {
        const POINT pt = ZepClampedTopLeft(size, c.ptCentre, rcDesktop, nMargin);
        EXPECT_EQ(c.ptTopLeft.x, pt.x) << c.ptCentre.x << "," << c.ptCentre.y;
        EXPECT_EQ(c.ptTopLeft.y, pt.y) << c.ptCentre.x << "," << c.ptCentre.y;
    }
    // Larger than the desktop: the top-left corner stays on it.
    const POINT pt = ZepClampedTopLeft({1200, 900}, {512, 384}, rcDesktop, nMargin);
    EXPECT_EQ(13, pt.x);
    EXPECT_EQ(13, pt.y);
}
}  // namespace
