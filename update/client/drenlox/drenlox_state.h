#pragma once
// Where the simulated player's state lives: %DRENLOX_PLAYER_STATE%, else
// "%ProgramData%\Drenlox Simulator\player.ini".
#include <string>

std::wstring DrenloxStatePath();
