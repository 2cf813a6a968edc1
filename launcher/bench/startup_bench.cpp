// Start-up time of the launcher against a trivial dialog program: each is started with
// CreateProcess and timed until a window of that process is visible, then closed. The two
// alternate run by run so that a busy machine slows both alike.
//   tolvik_startup_bench <runs> <launcher.exe> <baseline.exe> [argument]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/unique_resource.h"

namespace
{
struct FindShown
{
    DWORD dwPid;
    HWND hwnd;
};

BOOL CALLBACK FindShownProc(HWND hwnd, LPARAM lParam)
{
    FindShown* pFind = reinterpret_cast<FindShown*>(lParam);
    DWORD dwPid = 0;
    ::GetWindowThreadProcessId(hwnd, &dwPid);
    if (dwPid == pFind->dwPid && ::IsWindowVisible(hwnd))
    {
        pFind->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER freq;
    ::QueryPerformanceFrequency(&freq);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Milliseconds from CreateProcess to a visible window; negative on failure.
double TimeOneStart(const std::wstring& exe, const std::wstring& argument)
{
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!argument.empty())
        cmd += L" " + argument;
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    LARGE_INTEGER start, shown;
    ::QueryPerformanceCounter(&start);
    if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);

    FindShown find = {pi.dwProcessId, nullptr};
    const ULONGLONG ullEnd = ::GetTickCount64() + 30000;
    while (find.hwnd == nullptr && ::GetTickCount64() < ullEnd)
    {
        ::EnumWindows(FindShownProc, reinterpret_cast<LPARAM>(&find));
        if (find.hwnd == nullptr)
        {
            if (::WaitForSingleObject(process.Get(), 1) == WAIT_OBJECT_0)
                break;
        }
    }
    ::QueryPerformanceCounter(&shown);
    if (find.hwnd == nullptr)
    {
        ::TerminateProcess(process.Get(), 1);
        return -1;
    }
    // Let it settle, as a user would look at it, then close it the usual way.
    ::Sleep(300);
    ::PostMessageW(find.hwnd, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process.Get(), 15000) != WAIT_OBJECT_0)
    {
        ::TerminateProcess(process.Get(), 1);
        ::WaitForSingleObject(process.Get(), 5000);
    }
    return Seconds(start, shown) * 1000.0;
}

void Summary(const char* pszLabel, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    printf("%-34s median %7.1f ms, range %7.1f .. %7.1f ms over %u runs\n", pszLabel, median, values.front(),
           values.back(), static_cast<unsigned>(n));
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
    {
        fprintf(stderr, "usage: tolvik_startup_bench <runs> <launcher.exe> <baseline.exe> [argument]\n");
        return 2;
    }
    const int nRuns = _wtoi(argv[1]);
    const std::wstring launcher = argv[2];
    const std::wstring baseline = argv[3];
    const std::wstring argument = argc > 4 ? argv[4] : L"";

    // One start of each first, not counted: it loads the system libraries into the cache.
    if (TimeOneStart(launcher, argument) < 0 || TimeOneStart(baseline, argument) < 0)
    {
        fprintf(stderr, "a program did not show a window\n");
        return 1;
    }
    std::vector<double> launcherMs, baselineMs, ratios;
    for (int i = 0; i < nRuns; ++i)
    {
        const double l = TimeOneStart(launcher, argument);
        const double b = TimeOneStart(baseline, argument);
        if (l < 0 || b < 0)
        {
            fprintf(stderr, "run %d: a program did not show a window\n", i + 1);
            return 1;
        }
        printf("run %2d: launcher %7.1f ms, trivial dialog %7.1f ms, ratio %.2f\n", i + 1, l, b, l / b);
        fflush(stdout);
        launcherMs.push_back(l);
        baselineMs.push_back(b);
        ratios.push_back(l / b);
    }
    Summary("launcher, start to window shown:", launcherMs);
    Summary("trivial dialog, same:", baselineMs);
    std::vector<double> sortedRatios = ratios;
    std::sort(sortedRatios.begin(), sortedRatios.end());
    printf("%-34s median %7.2f,    range %7.2f .. %7.2f (goal <= 2)\n", "launcher / trivial dialog:",
           Median(ratios), sortedRatios.front(), sortedRatios.back());
    return 0;
}
