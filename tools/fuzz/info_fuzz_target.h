#pragma once
// Update information files through the client's loader and the evaluation that follows it.
#include <memory>

#include "tools/fuzz/fuzz_target.h"

// The service and category the seed files were published for (tools/fuzz.sh publishes them).
#define FUZZ_INFO_SERVICE L"fuzz-fw"
#define FUZZ_INFO_CATEGORY L"Velomar"

std::unique_ptr<IFuzzTarget> CreateInfoFuzzTarget();
