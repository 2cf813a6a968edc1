#pragma once
// Log configuration files through the log library's ".log.xml" reader.
#include <memory>

#include "tools/fuzz/fuzz_target.h"

std::unique_ptr<IFuzzTarget> CreateLogConfigFuzzTarget();
