#include <gtest/gtest.h>

#include "launcher/description_switcher.h"
#include "launcher/resource.h"

namespace
{
CDescriptionSwitcher MakeSwitcher()
{
    CDescriptionSwitcher switcher;
    switcher.SetGeneral(L"general");
    switcher.SetButtonDescription(IDC_MUSIC, L"music");
    switcher.SetButtonDescription(IDC_PHOTO, L"photo");
    switcher.SetButtonDescription(IDC_DOWNLOAD, L"download");
    return switcher;
}
}  // namespace

TEST(DescriptionSwitcher, FollowsThePointerAcrossButtonsAndBackToTheGeneralText)
{
    CDescriptionSwitcher switcher = MakeSwitcher();
    CDescriptionSwitcher::Change change;

    ASSERT_TRUE(switcher.OnHover(IDC_MUSIC, change));
    EXPECT_EQ(L"music", change.text);
    EXPECT_TRUE(change.bEnabled);

    // Each move over the same button repeats the notification; nothing needs redrawing.
    EXPECT_FALSE(switcher.OnHover(IDC_MUSIC, change));

    ASSERT_TRUE(switcher.OnHover(IDC_PHOTO, change));
    EXPECT_EQ(L"photo", change.text);
    EXPECT_TRUE(change.bEnabled);
    EXPECT_EQ(static_cast<UINT>(IDC_PHOTO), switcher.ShownId());

    ASSERT_TRUE(switcher.OnHover(0, change));
    EXPECT_EQ(L"general", change.text);
    EXPECT_FALSE(change.bEnabled);
    EXPECT_EQ(0u, switcher.ShownId());

    EXPECT_FALSE(switcher.OnHover(0, change));
}

TEST(DescriptionSwitcher, OtherControlsShowTheGeneralText)
{
    CDescriptionSwitcher switcher = MakeSwitcher();
    CDescriptionSwitcher::Change change;
    // The Setting button and the check box have no description of their own.
    EXPECT_FALSE(switcher.OnHover(IDC_SETTING, change));
    ASSERT_TRUE(switcher.OnHover(IDC_DOWNLOAD, change));
    EXPECT_EQ(L"download", change.text);
    ASSERT_TRUE(switcher.OnHover(IDC_SETTING, change));
    EXPECT_EQ(L"general", change.text);
    EXPECT_FALSE(change.bEnabled);
}
