#include "installer/updatepause/installation_check.h"

#include "installer/updatepause/update_agent.h"

namespace
{
const int kMessageUpdateInstalling = 28010;
const int kMessageRestartPending = 28011;
// The update agent's own codes for "an installation is running" and "a restart is required".
const UINT kStatusUpdateInstalling = 0x8024001B;
const UINT kStatusRestartPending = 0x8024D00C;

bool Holds(HRESULT (*pfnAsk)(bool&)) noexcept
{
    bool bAnswer = false;
    return pfnAsk && SUCCEEDED(pfnAsk(bAnswer)) && bAnswer;
}
}  // namespace

const SUpdateAgentAnswers& SystemUpdateAgent() noexcept
{
    static const SUpdateAgentAnswers kSystem = {&IsUpdateInstallerBusy, &IsRestartRequired};
    return kSystem;
}

UINT CheckUpdateAgentIdle(CCustomAction& action, const SUpdateAgentAnswers& agent) noexcept
{
    // A running installation is the one to report when both hold: the restart it may need
    // comes after it.
    if (Holds(agent.pfnIsBusy))
    {
        action.ShowError(kMessageUpdateInstalling, kStatusUpdateInstalling);
        return ERROR_INSTALL_FAILURE;
    }
    if (Holds(agent.pfnIsRestartRequired))
    {
        action.ShowError(kMessageRestartPending, kStatusRestartPending);
        return ERROR_INSTALL_FAILURE;
    }
    return ERROR_SUCCESS;
}
