// What one kind's combo box lists, which item is selected and what a choice does to the
// selection that OK stores.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/testing/zeptest.h"
#include "launcher/option_kind_model.h"

namespace
{
const COptionKindModel::Texts kTexts = {L"インストールされていません", L" ", L"カスタム..."};

AppEntry Entry(const std::wstring& name, const std::wstring& path = L"", const std::wstring& exe = L"")
{
    AppEntry entry;
    entry.name = name;
    entry.errormsg = name + L" error";
    entry.path = path;
    entry.exe = exe;
    return entry;
}

class OptionKindModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strDir = zeptest::TestTempDir();
        m_strDir.pop_back();
        ASSERT_TRUE(zeptest::WriteFileBytes(m_strDir + L"\\installed.exe", "MZ", 2));
    }

    AppEntry Installed(const std::wstring& name) const { return Entry(name, m_strDir, L"installed.exe"); }
    AppEntry Missing(const std::wstring& name) const { return Entry(name, m_strDir, L"missing.exe"); }

    std::vector<std::wstring> Texts(const COptionKindModel& model) const
    {
        std::vector<std::wstring> texts;
        for (size_t i = 0; i < model.Candidates().size(); ++i)
            texts.push_back(model.DisplayText(i, nullptr));
        return texts;
    }

    std::wstring m_strDir;
};
}  // namespace

TEST_F(OptionKindModelTest, ListsNotSelectedFirstThenCandidatesThenTheCustomItem)
{
    AppEntry custom = Entry(L"Custom");
    custom.errormsg = L"custom error";
    COptionKindModel model(kTexts);
    model.Init(Installed(L"Player A"), {custom, Installed(L"Player A"), Missing(L"Player B")}, false);

    const std::vector<std::wstring> expected = {L" ", L"Player A", L"Player B (インストールされていません)",
                                                L"カスタム..."};
    EXPECT_EQ(expected, Texts(model));
    EXPECT_EQ(1, model.SelectedIndex());
    // Both the blank item and the custom item come from the registry's custom template.
    EXPECT_EQ(L"Not Selected", model.Candidates().front().name);
    EXPECT_EQ(L"custom error", model.Candidates().front().errormsg);
    EXPECT_EQ(L"Custom", model.Candidates().back().name);
    EXPECT_EQ(L"custom error", model.CustomTemplate().errormsg);
}

TEST_F(OptionKindModelTest, FirstRunWithNothingInstalledSelectsTheBlankItem)
{
    COptionKindModel model(kTexts);
    model.Init(Missing(L"Player B"), {Missing(L"Player B"), Entry(L"Custom")}, true);
    EXPECT_EQ(0, model.SelectedIndex());
    EXPECT_EQ(L" ", model.DisplayText(0, nullptr));
    EXPECT_EQ(L"Not Selected", model.Current().name);

    // Outside the first run the stored choice stays, installed or not.
    COptionKindModel normal(kTexts);
    normal.Init(Missing(L"Player B"), {Missing(L"Player B"), Entry(L"Custom")}, false);
    EXPECT_EQ(1, normal.SelectedIndex());
    EXPECT_EQ(L"Player B", normal.Current().name);

    // An installed selection survives the first run too.
    COptionKindModel installed(kTexts);
    installed.Init(Installed(L"Player A"), {Installed(L"Player A")}, true);
    EXPECT_EQ(L"Player A", installed.Current().name);
}

TEST_F(OptionKindModelTest, ChoicesAndRefusals)
{
    COptionKindModel model(kTexts);
    // The stored choice is no longer installed; another candidate is not installed either.
    model.Init(Missing(L"Gone"), {Missing(L"Gone"), Missing(L"Player B"), Installed(L"Player A")}, false);
    ASSERT_EQ(5u, model.Candidates().size());  // blank, Gone, Player B, Player A, custom

    EXPECT_EQ(COptionKindModel::Choice::kRefused, model.Choose(2));
    EXPECT_EQ(L"Gone", model.Current().name);
    EXPECT_EQ(1, model.SelectedIndex()) << "the combo goes back to the current item";

    EXPECT_EQ(COptionKindModel::Choice::kChanged, model.Choose(1)) << "the current program may be chosen again";
    EXPECT_EQ(COptionKindModel::Choice::kChanged, model.Choose(3));
    EXPECT_EQ(L"Player A", model.Current().name);
    EXPECT_EQ(L"Player A error", model.Current().errormsg);
    EXPECT_EQ(3, model.SelectedIndex());

    EXPECT_EQ(COptionKindModel::Choice::kChanged, model.Choose(0));
    EXPECT_EQ(L"Not Selected", model.Current().name);
    EXPECT_EQ(0, model.SelectedIndex());

    for (INT_PTR nBad : {INT_PTR(-1), INT_PTR(5), INT_PTR(CB_ERR)})
        EXPECT_EQ(COptionKindModel::Choice::kUnchanged, model.Choose(nBad)) << nBad;
    EXPECT_EQ(L"Not Selected", model.Current().name);
}

TEST_F(OptionKindModelTest, CustomProgramIsStoredAsFolderAndFileAndShownShortened)
{
    AppEntry custom = Entry(L"Custom");
    custom.param = L"%s";
    COptionKindModel model(kTexts);
    model.Init(Installed(L"Player A"), {Installed(L"Player A"), custom}, false);
    const size_t nCustom = model.Candidates().size() - 1;
    ASSERT_EQ(COptionKindModel::Choice::kNeedsFile, model.Choose(static_cast<INT_PTR>(nCustom)));
    EXPECT_EQ(L"Player A", model.Current().name) << "nothing changes until a file is chosen";

    model.ChooseCustomFile(nCustom, L"C:\\Tools\\player.exe");
    EXPECT_EQ(L"Custom", model.Current().name);
    EXPECT_EQ(L"C:\\Tools", model.Current().path);
    EXPECT_EQ(L"player.exe", model.Current().exe);
    EXPECT_EQ(L"%s", model.Current().param) << "the rest comes from the template";
    EXPECT_EQ(static_cast<int>(nCustom), model.SelectedIndex());
    EXPECT_EQ(L"カスタム... (C:\\Tools\\player.exe)", model.DisplayText(nCustom, nullptr));
    EXPECT_EQ(L"カスタム... (C:\\...\\player.exe)",
              model.DisplayText(nCustom, [](const std::wstring&) { return std::wstring(L"C:\\...\\player.exe"); }));

    // Opening again with that selection shows it as the custom item.
    COptionKindModel reopened(kTexts);
    reopened.Init(model.Current(), {Installed(L"Player A"), custom}, false);
    EXPECT_EQ(L"カスタム... (C:\\Tools\\player.exe)", reopened.DisplayText(2, nullptr));
    EXPECT_EQ(2, reopened.SelectedIndex());
}

TEST_F(OptionKindModelTest, WithoutACustomTemplateTheLastItemStillPicksAProgram)
{
    COptionKindModel model(kTexts);
    model.Init(Installed(L"Player A"), {Installed(L"Player A")}, false);
    ASSERT_EQ(3u, model.Candidates().size());
    EXPECT_EQ(L"カスタム...", model.DisplayText(2, nullptr));
    ASSERT_EQ(COptionKindModel::Choice::kNeedsFile, model.Choose(2));
    model.ChooseCustomFile(2, L"D:\\a.exe");
    EXPECT_EQ(L"Custom", model.Current().name);
    EXPECT_EQ(L"D:", model.Current().path);
}
