#pragma once
// Name of the registered window message the launcher broadcasts to close the device watcher.
// Both programs must register the very same string.
#define WATCHER_CLOSE_MESSAGE_NAME L"{6B1E2C4A-93D7-4F0B-8E25-7A4C1D9F3B60}"
