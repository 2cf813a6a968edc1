#pragma once
// One exchange with a hostile update server: what the server answers on each path, and the
// file a download that reports success must hold.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tools/fuzz/fuzz_random.h"
#include "tools/fuzz/hostile_http_server.h"

struct SHostileExchange
{
    // What was done to the answer, for the findings log.
    std::string strWhat;
    // Where the client starts, e.g. "/f/file.bin".
    std::string strPath;
    std::map<std::string, std::vector<SHostileAnswer>> answers;
    // The server's file as it means it: a body without any length or chunking that an orderly
    // close ends is the whole file as far as anybody can tell, and a consistent length is the
    // file's length.
    std::string strIntended;
    // Every answer came with a whole HTTP/1.x head that gives its body's length as a number, and
    // no chunking: WinINet shows the length, and the downloader holds the body to it. Otherwise
    // the body's end was never declared, or declared only in ways Wine's WinINet hides (the last
    // chunk, the end of a head cut or stalled midway, an orderly close told from a reset), and
    // only the size and digest of the signed update information can tell a cut file.
    bool bLengthDeclared = false;
    // The file on disk before the transfer, and the resume offset the client asks for.
    bool bFileBefore = false;
    std::string strFileBefore;
    DWORD dwResumeOffset = 0;
};

// An exchange for strFile served at strPath. bResume: a partial file may lie on disk and the
// client may ask for a range. dwReceiveTimeoutMs: the client's time-out, which some answers
// stay under and some outlast.
SHostileExchange MakeHostileExchange(CFuzzRandom& rng, const std::string& strPath, const std::string& strFile,
                                     bool bResume, DWORD dwReceiveTimeoutMs);
