#include "installer/exec/tests/ondrix_test_util.h"

#include "common/string_util.h"
#include "common/testing/zeptest.h"

namespace ondrixtest
{
bool COndrix::Load()
{
    m_module.Reset(::LoadLibraryW((zeptest::ExeDir() + L"Ondrix.dll").c_str()));
    return m_module.IsValid();
}

std::wstring CopyRecorder(const std::wstring& folder, const wchar_t* pszName)
{
    const std::wstring path = folder + pszName;
    if (!::CopyFileW((zeptest::ExeDir() + L"tolvik_arg_recorder.exe").c_str(), path.c_str(), FALSE))
        return std::wstring();
    return path;
}

std::wstring WaitForRecordedCommandLine(const std::wstring& exePath, DWORD dwTimeoutMs)
{
    const std::wstring record = exePath + L".txt";
    const ULONGLONG ullEnd = ::GetTickCount64() + dwTimeoutMs;
    for (;;)
    {
        std::string data;
        // The stand-in writes its record in one call; a record without its line end is not done.
        if (zeptest::ReadFileBytes(record, data) && data.find('\n') != std::string::npos)
            return Utf8ToWide(data.substr(0, data.find('\n')));
        if (::GetTickCount64() > ullEnd)
            return std::wstring();
        ::Sleep(50);
    }
}
}  // namespace ondrixtest
