// The platform headers nearly every file of the tree includes, compiled once for the whole
// build (see zep_enable_pch in cmake/Zep.cmake). Only headers whose meaning no file changes
// with its own definitions belong here.
#pragma once
// Before windows.h, which would otherwise bring in the old winsock.h.
#include <winsock2.h>
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <ocidl.h>
#include <shlwapi.h>
#include <wininet.h>
#include <wincrypt.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <map>
#include <memory>
#include <string>
#include <vector>
