#pragma once
// Whether the maker's jukebox program runs: it handles the player itself, so the watcher
// then leaves arrivals alone.
#include <string>

class IJukeboxDetector
{
public:
    virtual ~IJukeboxDetector() = default;
    virtual bool IsRunning() = 0;
};

class CJukeboxDetector : public IJukeboxDetector
{
public:
    bool IsRunning() override { return IsJukeboxRunning(); }

    // Scans the running processes; a list that cannot be read counts as "not running".
    static bool IsJukeboxRunning();
    // True when the file-name part of a module path is the jukebox's, in any letter case.
    static bool IsJukeboxPath(const std::wstring& path);
};
