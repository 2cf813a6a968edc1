// Every program the package installs, and the publishing tool, carries the manifest the system
// reads at start (resource 1 of type RT_MANIFEST): started by a standard user it runs as that
// user, it declares the systems it was made for, and windows get what they are drawn for.
#include <gtest/gtest.h>
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <set>
#include <string>

#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"

namespace
{
// The manifest text, or "(none)".
std::string Manifest(const std::wstring& program)
{
    UniqueHModule module(::LoadLibraryExW(program.c_str(), nullptr,
                                          LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module)
        return "(not loadable)";
    HRSRC hResource = ::FindResourceW(module.Get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    HGLOBAL hData = hResource ? ::LoadResource(module.Get(), hResource) : nullptr;
    const char* pData = hData ? static_cast<const char*>(::LockResource(hData)) : nullptr;
    if (!pData)
        return "(none)";
    return std::string(pData, ::SizeofResource(module.Get(), hResource));
}

bool Has(const std::string& text, const char* pszPart)
{
    return text.find(pszPart) != std::string::npos;
}

// The long names of the package's programs (File table: "SHORT~1.EXE|Long.exe" or "Long.exe").
std::set<std::wstring> PackagePrograms(const std::wstring& package)
{
    std::set<std::wstring> programs;
    UniqueMsiHandle database;
    MSIHANDLE h = 0;
    if (::MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &h) != ERROR_SUCCESS)
        return programs;
    database.Reset(h);
    UniqueMsiHandle view;
    if (::MsiDatabaseOpenViewW(database.Get(), L"SELECT `FileName` FROM `File`", &h) != ERROR_SUCCESS)
        return programs;
    view.Reset(h);
    if (::MsiViewExecute(view.Get(), 0) != ERROR_SUCCESS)
        return programs;
    while (::MsiViewFetch(view.Get(), &h) == ERROR_SUCCESS)
    {
        UniqueMsiHandle record(h);
        wchar_t szName[MAX_PATH] = {};
        DWORD cch = MAX_PATH;
        if (::MsiRecordGetStringW(record.Get(), 1, szName, &cch) != ERROR_SUCCESS)
            continue;
        std::wstring name = szName;
        const size_t nBar = name.find(L'|');
        if (nBar != std::wstring::npos)
            name = name.substr(nBar + 1);
        if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".exe") == 0)
            programs.insert(name);
    }
    return programs;
}

const char* const kSupportedOs[] = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
};
}  // namespace

TEST(ProgramManifest, EveryProgramRunsAsItsUserOnTheSystemsItNames)
{
    const struct
    {
        const wchar_t* pszProgram;
        bool bWindows;
    } programs[] = {
        {L"Tolvik.exe", true},
        {L"Pirro.exe", true},
        {L"Quenta.exe", true},
        {L"zepinfo.exe", false},
    };
    std::set<std::wstring> listed;
    for (const auto& p : programs)
    {
        listed.insert(p.pszProgram);
        const std::string manifest = Manifest(zeptest::ExeDir() + p.pszProgram);
        SCOPED_TRACE(WideToUtf8(p.pszProgram) + ":\n" + manifest);
        EXPECT_TRUE(Has(manifest, "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"));
        for (const char* pszOs : kSupportedOs)
            EXPECT_TRUE(Has(manifest, (std::string("<supportedOS Id=\"") + pszOs + "\"/>").c_str())) << pszOs;
        EXPECT_EQ(p.bWindows, Has(manifest, "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
        // The skinned windows draw in fixed pixels: any awareness the manifest claimed would
        // leave them tiny on a scaled screen.
        EXPECT_FALSE(Has(manifest, ">true<") || Has(manifest, "PerMonitor") || Has(manifest, "per monitor") ||
                     Has(manifest, ">system<"));
        if (p.bWindows)
        {
            EXPECT_TRUE(Has(manifest, "WindowsSettings\">false</dpiAware>"));
            EXPECT_TRUE(Has(manifest, "WindowsSettings\">unaware</dpiAwareness>"));
        }
    }
    // A program added to the package is added here too.
    for (const std::wstring& program : PackagePrograms(zeptest::ExeDir() + L"Velomar.msi"))
        EXPECT_EQ(1u, listed.count(program)) << WideToUtf8(program) << " is in the package but not checked here";
    EXPECT_FALSE(PackagePrograms(zeptest::ExeDir() + L"Velomar.msi").empty());
}
