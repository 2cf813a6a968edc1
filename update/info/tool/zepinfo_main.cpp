// zepinfo: publishes update information files and checks them with the client's own code.
#include <windows.h>

#include <string>

#include "update/info/tool/console.h"
#include "update/info/tool/zepinfo_commands.h"

namespace
{
void PrintHelp()
{
    ConsoleOut(
        L"zepinfo - update information files for the update server\n"
        L"\n"
        L"  zepinfo keygen   KEY.pem\n"
        L"  zepinfo publish  --service S --category C --key KEY.pem [--serial N] [--expires DATE]\n"
        L"                   [--digest sha1|md5|none] BODY.xml OUTROOT\n"
        L"  zepinfo verify   --service S --category C [--accepted-serial N] FILE\n"
        L"  zepinfo evaluate --service S --category C [--model M --current-version V ...] FILE\n"
        L"\n"
        L"  zepinfo COMMAND --help   shows the options of a command.\n");
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    try
    {
        if (argc < 2)
        {
            PrintHelp();
            return 1;
        }
        const std::wstring strCommand = argv[1];
        if (strCommand == L"publish")
            return RunPublish(argc, argv);
        if (strCommand == L"verify")
            return RunVerify(argc, argv);
        if (strCommand == L"evaluate")
            return RunEvaluate(argc, argv);
        if (strCommand == L"keygen")
            return RunKeygen(argc, argv);
        if (strCommand == L"--help" || strCommand == L"-h" || strCommand == L"help" || strCommand == L"/?")
        {
            PrintHelp();
            return 0;
        }
        ConsoleErr(L"zepinfo: unknown command \"" + strCommand + L"\"\n\n");
        PrintHelp();
        return 1;
    }
    catch (...)
    {
        ConsoleErr(L"zepinfo: out of memory or internal error\n");
        return 3;
    }
}
