#pragma once
// Settings files through the launcher's settings store: load, save, and load again.
#include <memory>

#include "tools/fuzz/fuzz_target.h"

std::unique_ptr<IFuzzTarget> CreateSettingsFuzzTarget();
