#pragma once
// Signature files (info.xml.sig) through the client's signature check, beside the information
// files they were made for.
#include <memory>

#include "tools/fuzz/fuzz_target.h"

std::unique_ptr<IFuzzTarget> CreateInfoSignatureFuzzTarget();
