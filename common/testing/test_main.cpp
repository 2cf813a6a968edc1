#include <gtest/gtest.h>
#include <windows.h>

namespace zeptest
{
void InstallSandboxListener();
}

int main(int argc, char** argv)
{
    // A crash must end the test process with an exit code, never wait on a dialog.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::testing::InitGoogleTest(&argc, argv);
    zeptest::InstallSandboxListener();
    return RUN_ALL_TESTS();
}
