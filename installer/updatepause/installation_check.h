#pragma once
// The check that keeps an installation from starting while the operating system's update agent
// installs updates or waits for a restart. The agent's answers come in as functions, so that
// tests can give the answers Wine's agent never gives.
#include <windows.h>

#include "common/custom_action.h"

struct SUpdateAgentAnswers
{
    HRESULT (*pfnIsBusy)(bool& bBusy);
    HRESULT (*pfnIsRestartRequired)(bool& bRequired);
};

// The operating system's agent (update_agent.h).
const SUpdateAgentAnswers& SystemUpdateAgent() noexcept;

// ERROR_SUCCESS when the agent is idle (or cannot be asked); otherwise shows the package's error
// message for an installation in progress, or else for a pending restart, and answers
// ERROR_INSTALL_FAILURE. COM must be initialised on the calling thread.
UINT CheckUpdateAgentIdle(CCustomAction& action, const SUpdateAgentAnswers& agent) noexcept;
