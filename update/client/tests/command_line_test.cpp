#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "update/client/zep_command_line_info.h"

namespace
{
struct Slot
{
    int nService;
    wchar_t chLetter;
    const wchar_t* pszValue;
};

struct CommandLineCase
{
    const char* pszName;
    const wchar_t* pszArguments;
    int nServices;
    std::vector<Slot> slots;
};

class CommandLineTable : public testing::TestWithParam<CommandLineCase>
{
};

TEST_P(CommandLineTable, FillsTheSlots)
{
    const CommandLineCase& c = GetParam();
    CZepCommandLineInfo info;
    info.ParseCommandLine(c.pszArguments);
    EXPECT_EQ(c.nServices, info.ServiceCount());
    for (const Slot& slot : c.slots)
        EXPECT_STREQ(slot.pszValue, info.Value(slot.nService, slot.chLetter))
            << "service " << slot.nService << " letter " << static_cast<char>(slot.chLetter);
}

const CommandLineCase kCases[] = {
    {"LauncherAutomatic",
     L" /M AUTO  /C PA001 /S VLFW /N \"QX-B417\" /E 0.00 /F UPDATE /C PP001 /S TVK /N \"Velomar Launcher\" /E "
     L"1.2.0.7 /F UPDATE",
     2,
     {{0, L'M', L"AUTO"}, {0, L'C', L"PA001"}, {0, L'S', L"VLFW"}, {0, L'N', L"QX-B417"}, {0, L'F', L"UPDATE"},
      {1, L'C', L"PP001"}, {1, L'S', L"TVK"}, {1, L'N', L"Velomar Launcher"}, {1, L'E', L"1.2.0.7"},
      {1, L'M', L""}}},
    {"ValuesBeforeTheFirstCategoryBelongToEntryZero",
     L"/M MANUAL /S EARLY /C PP001 /F INFO",
     1,
     {{0, L'M', L"MANUAL"}, {0, L'S', L"EARLY"}, {0, L'C', L"PP001"}, {0, L'F', L"INFO"}}},
    {"LowerCaseSwitchDropsItsValue",
     L"/M AUTO /C PP001 /s LOWER /n low /S UPPER",
     1,
     {{0, L'S', L"UPPER"}, {0, L'N', L""}}},
    {"HyphenIsASwitchToo", L"-M MANUAL -C PP001", 1, {{0, L'M', L"MANUAL"}, {0, L'C', L"PP001"}}},
    {"QuotesInsideAValueAreRemoved",
     L"/M AUTO /C PP001 /N Velo\\\"mar\\\"Player",
     1,
     {{0, L'N', L"VelomarPlayer"}}},
    {"LaterValueReplacesEarlier", L"/M AUTO /C PP001 /E 1.0.0.0 /E 2.0.0.0", 1, {{0, L'E', L"2.0.0.0"}}},
    {"ModeAloneHasNoService", L" /M AUTO ", 0, {{0, L'M', L"AUTO"}, {0, L'C', L""}}},
    {"NothingAtAll", L"", 0, {{0, L'M', L""}}},
    {"ValueWithoutSwitchIsIgnored", L"stray /M AUTO", 0, {{0, L'M', L"AUTO"}}},
    {"SixthServiceIsDroppedWholly",
     L"/M AUTO /C PP001 /S A /C PP001 /S B /C PP001 /S C /C PP001 /S D /C PP001 /S E /C PA001 /S F /N six",
     5,
     {{0, L'S', L"A"}, {3, L'S', L"D"}, {4, L'S', L"E"}, {4, L'C', L"PP001"}, {4, L'N', L""}}},
};

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineTable, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CommandLineCase>& info) { return info.param.pszName; });

TEST(CommandLine, TokensGivenOneByOneKeepQuotesOut)
{
    CZepCommandLineInfo info;
    info.ParseParam(L"C", true, false);
    info.ParseParam(L"PP001", false, false);
    info.ParseParam(L"N", true, false);
    info.ParseParam(L"\"Velomar Launcher\"", false, true);
    EXPECT_STREQ(L"Velomar Launcher", info.Value(0, L'N'));
}

TEST(CommandLine, SetValueReplacesAndBadIndexesAreHarmless)
{
    CZepCommandLineInfo info;
    info.ParseCommandLine(L"/M AUTO /C PA001 /S VLFW");
    info.SetValue(0, L'S', L"QXB417FW");
    EXPECT_STREQ(L"QXB417FW", info.Value(0, L'S'));
    info.SetValue(7, L'S', L"x");
    info.SetValue(0, L's', L"x");
    EXPECT_STREQ(L"", info.Value(7, L'S'));
    EXPECT_STREQ(L"", info.Value(-1, L'S'));
    EXPECT_STREQ(L"", info.Value(0, L'1'));
}
}  // namespace
