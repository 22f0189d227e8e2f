#pragma once

#include "Phase.h"
#include "ResolvedPath.h"
#include "TestPattern.h"

#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

namespace measure {

constexpr std::int64_t kMaxSmallFiles = 1'000'000;
// The whole file is kept in memory once, and written with one call.
constexpr std::int64_t kMaxSmallFileBytes = std::int64_t{16} << 20;

struct SmallFilesPlan {
    // A folder inside the target that does not exist yet: the test makes
    // it, fills it and removes it again.
    platform::ResolvedPath folder;
    std::int64_t files = 1000;
    // 0 is allowed: then every phase is about names and attributes alone.
    std::int64_t fileBytes = 64 * 1024;
    TestPattern pattern = TestPattern::x();
};

struct SmallFilesTiming {
    // create, enumerate, stat, read, delete.
    std::vector<PhaseTiming> phases;
    // Empty when the folder and every file are gone again; otherwise what
    // stayed and why, for a person (someone put a file of their own into
    // the folder while the test ran).
    std::string leftOver;
};

// What a photo library, a source tree or a folder of office files costs
// on a share, where every file is several round trips to the server:
//  1. the folder is made (only a new one: an existing name fails);
//  2. create: each file is created (only a new one), written whole,
//     flushed to the storage (fsync, FlushFileBuffers) and closed;
//  3. enumerate: the folder is listed once, each entry an operation, and
//     every file written must be in it;
//  4. stat: each file is looked up anew (platform::lookupEntryFresh) and
//     must be a file of the size written;
//  5. read: each file is opened past this machine's cache, read whole and
//     checked (platform::UncachedRead, labelled as the large read is);
//  6. delete: each file is removed; then the folder, untimed.
// Files are named f1.tmp, f2.tmp ... so that nothing but a counter is kept
// for them, whatever their number. A stat that is answered well under a
// quarter of a delete's median (a delete always reaches the server) was
// answered from this machine's memory: its phase says so
// (clientCacheSuspect) rather than pass the figure off as the server's.
//
// Only what this test made is ever removed: a file of another's in the
// folder stays, and so does the folder then (leftOver says so). A failure
// or a stop request (within one file) removes what was made and throws
// platform::Error or platform::Cancelled, naming what could not be removed:
// the folder and exactly which of its files. The removal stops at the first
// file that cannot be removed, so a share that stopped answering costs one
// more time-out, not one per file.
SmallFilesTiming timeSmallFiles(const SmallFilesPlan& plan, std::stop_token stop = {},
                                const PhaseObserver& phaseStarted = {});

// The name of the file numbered `index` (from 1) in the test's folder.
std::string smallFileName(std::int64_t index);

} // namespace measure
