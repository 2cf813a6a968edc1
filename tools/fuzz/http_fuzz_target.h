#pragma once
// A hostile update server on the loopback interface against the downloader (fresh and resumed
// transfers) and against whole update information checks.
#include <memory>

#include "tools/fuzz/fuzz_target.h"

std::unique_ptr<IFuzzTarget> CreateHttpFuzzTarget();
