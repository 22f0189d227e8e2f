#pragma once

#include "Phase.h"
#include "ResolvedPath.h"

#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

namespace measure {

constexpr std::int64_t kMaxTreeFolders = 100'000;
// Folders per folder: 1,000 folders are 10 × 10 × 10, less the last 110.
constexpr std::int64_t kTreeFanOut = 10;

struct FolderTreePlan {
    // A folder inside the target that does not exist yet: the test makes
    // it, builds the tree in it and removes it again.
    platform::ResolvedPath root;
    std::int64_t folders = 1000;
};

struct FolderTreeTiming {
    // create, enumerate, delete.
    std::vector<PhaseTiming> phases;
    // As SmallFilesTiming::leftOver.
    std::string leftOver;
};

// A tree of `folders` folders, ten in each, filled level by level (the
// first ten in the root, the next hundred in those ...), so that a folder
// is named by its number alone and nothing is kept per folder:
//  1. the root is made (only a new one);
//  2. create: each folder is made, parents before children;
//  3. enumerate: each folder is listed, and must list the folders made in it;
//  4. delete: each folder is removed, children before parents; then the
//     root, untimed.
// Failures, stops and what stays behave as in timeSmallFiles: only what
// this test made is removed, and what could not be is named.
FolderTreeTiming timeFolderTree(const FolderTreePlan& plan, std::stop_token stop = {},
                                const PhaseObserver& phaseStarted = {});

} // namespace measure
