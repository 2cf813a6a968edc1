// The two language resource libraries: every text the code asks for is there, and every format
// string takes exactly the values the code passes (a wrong placeholder would read past them).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "update/client/res/client_res_ids.h"
#include "update/gui/gui_resources.h"
#include "update/gui/res/gui_res_ids.h"
#include "update/gui/zep_auto_update_gui.h"

namespace
{
struct StringCase
{
    UINT nId;
    const char* pszPlaceholders;  // the conversions in order, e.g. "ds"; "" for plain text
};

UniqueHModule LoadResources(const wchar_t* pszName)
{
    return UniqueHModule(::LoadLibraryExW((zeptest::ExeDir() + pszName).c_str(), nullptr,
                                          LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

std::wstring String(HMODULE hModule, UINT nId)
{
    const wchar_t* pText = nullptr;
    const int cch = ::LoadStringW(hModule, nId, reinterpret_cast<wchar_t*>(&pText), 0);
    return cch > 0 ? std::wstring(pText, static_cast<size_t>(cch)) : std::wstring();
}

// The conversion letters of a printf format, "%%" skipped.
std::string Conversions(const std::wstring& strFormat)
{
    std::string out;
    for (size_t i = 0; i < strFormat.size(); ++i)
    {
        if (strFormat[i] != L'%')
            continue;
        ++i;
        while (i < strFormat.size() && wcschr(L"0123456789-+ #.l", strFormat[i]))
            ++i;
        if (i < strFormat.size() && strFormat[i] != L'%')
            out += static_cast<char>(strFormat[i]);
    }
    return out;
}

void CheckStrings(HMODULE hModule, const std::vector<StringCase>& cases)
{
    for (const StringCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "string " << c.nId);
        const std::wstring strText = String(hModule, c.nId);
        EXPECT_FALSE(strText.empty());
        EXPECT_EQ(c.pszPlaceholders, Conversions(strText));
    }
}

TEST(LanguageResources, UpdateWindowsLibraryHasEveryTextTemplateAndTheIcon)
{
    const UniqueHModule module = LoadResources(L"ZepGUI_LibraryRes.dll");
    ASSERT_TRUE(module.IsValid());
    CheckStrings(module.Get(), {
                                   {IDS_ZEP_CAPTION, ""},
                                   {IDS_ZEP_REMAINING_HOURS, "dd"},
                                   {IDS_ZEP_REMAINING_MINUTES, "d"},
                                   {IDS_ZEP_REMAINING_SECONDS, "d"},
                                   {IDS_ZEP_PERCENT, "d"},
                                   {IDS_ZEP_UNIT_KB, ""},
                                   {IDS_ZEP_UNIT_MB, ""},
                                   {IDS_ZEP_UNIT_GB, ""},
                                   {IDS_ZEP_TITLE_SOFTWARE, "s"},
                                   {IDS_ZEP_TITLE_INFO, ""},
                                   {IDS_ZEP_SIZE_LINE, "us"},
                                   {IDS_ZEP_DETAIL_LABEL, ""},
                                   {IDS_ZEP_TITLE_FIRMWARE, "s"},
                                   {IDS_ZEP_DOWNLOAD_CANCELED, ""},
                                   {IDS_ZEP_COMPLETE, "s"},
                                   {IDS_ZEP_NO_UPDATE, ""},
                                   {IDS_ZEP_CANCEL_QUESTION, ""},
                                   {IDS_ZEP_ERR_INFO_INVALID, ""},
                                   {IDS_ZEP_ERR_SERVER, ""},
                                   {IDS_ZEP_ERR_NETWORK, ""},
                                   {IDS_ZEP_ERR_FILE_INVALID, ""},
                                   {IDS_ZEP_UPDATE_TITLE, ""},
                                   {IDS_ZEP_ERR_DISK_FULL, ""},
                                   {IDS_ZEP_ERR_SAVE, ""},
                                   {IDS_ZEP_ERR_GENERAL, ""},
                                   {IDS_ZEP_ERR_CHECK_BUSY, ""},
                               });
    for (UINT nTemplate : {IDD_ZEP_PROGRESS, IDD_ZEP_MARQUEE, IDD_ZEP_CONFIRM})
        EXPECT_NE(nullptr, ::FindResourceW(module.Get(), MAKEINTRESOURCEW(nTemplate), RT_DIALOG)) << nTemplate;
    EXPECT_NE(nullptr, ::FindResourceW(module.Get(), MAKEINTRESOURCEW(IDI_ZEP_UPDATE), RT_GROUP_ICON));
    EXPECT_EQ(L"Velomar ソフトウェア更新", String(module.Get(), IDS_ZEP_CAPTION)) << "Japanese text arrives intact";
}

TEST(LanguageResources, UpdateClientLibraryHasEveryText)
{
    const UniqueHModule module = LoadResources(L"ZepHelper_ApplicationRes.dll");
    ASSERT_TRUE(module.IsValid());
    CheckStrings(module.Get(), {
                                   {IDS_ZEPHELPER_CAPTION, ""},
                                   {IDS_ZEPHELPER_INIT_FAILED, ""},
                                   {IDS_ZEPHELPER_NO_PLAYER, ""},
                                   {IDS_ZEPHELPER_PRODUCT_NAME, ""},
                                   {IDS_ZEPHELPER_MANY_PLAYERS, ""},
                                   {IDS_ZEPHELPER_FAILED_CODE, "X"},
                                   {IDS_ZEPHELPER_UPDATE_TIMEOUT, ""},
                                   {IDS_ZEPHELPER_OUT_OF_MEMORY, ""},
                                   {IDS_ZEPHELPER_PLAYER_UNUSABLE, ""},
                                   {IDS_ZEPHELPER_APP_TITLE, ""},
                               });
}
}  // namespace

// The error box reads the library installed beside the component, which may be one built to the
// shorter string list: a text missing there must not give an empty box.
TEST(LanguageResources, ErrorTextStandsInWhereTheLibraryLacksTheResultsOwnString)
{
    CGuiResources full, listed;
    ASSERT_EQ(S_OK, full.Load(zeptest::ExeDir(), L"ZepGUI_LibraryRes.dll"));
    ASSERT_EQ(S_OK, listed.Load(zeptest::ExeDir(), L"zepgui_listed_texts_res.dll"));
    ASSERT_TRUE(listed.String(IDS_ZEP_ERR_CHECK_BUSY).empty());
    const struct
    {
        const char* pszCase;
        const CGuiResources& resources;
        HRESULT hr;
        UINT nExpectedId;
    } kCases[] = {
        {"busy check, full library", full, static_cast<HRESULT>(0x80044401), IDS_ZEP_ERR_CHECK_BUSY},
        {"busy check, listed library", listed, static_cast<HRESULT>(0x80044401), IDS_ZEP_UPDATE_TITLE},
        {"network, listed library", listed, static_cast<HRESULT>(0x80043302), IDS_ZEP_ERR_NETWORK},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszCase);
        const std::wstring strExpected = c.resources.String(c.nExpectedId);
        EXPECT_FALSE(strExpected.empty());
        EXPECT_EQ(strExpected, CZepAutoUpdateGUI::ErrorText(c.resources, c.hr));
    }
    EXPECT_EQ(L"", CZepAutoUpdateGUI::ErrorText(full, E_FAIL)) << "a result that shows no box";
}
