// File masks and the directory scan that runs SCAN_PARAMS for every matching
// file of a folder tree.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "command/context.h"

// Appends the expanded mask (an empty one too) to the context's masks.
void AddMask(CommandContext& context, const char* mask);
// Empties the mask list.
void ClearMasks(CommandContext& context);
// True when there are no masks or any mask matches fullPath (MatchesMask:
// "*", "?", case-insensitive, ";" alternatives, over the whole path).
[[nodiscard]] bool MatchMasks(const CommandContext& context, const char* fullPath);

// The word `scan`: expands root (empty: nothing happens), sets SCAN_ROOT and
// walks the tree under it, depth first in name order. Names starting with
// "~" or "." are skipped. For every file matching the masks it sets
// SCAN_FULL_PATH, SCAN_SUB_PATH, SCAN_REL_PATH, SCAN_TYPE, SCAN_FILE (paths
// joined with "/") and runs the word list in SCAN_PARAMS.
void Scan(CommandContext& context, const char* root);

// Folders already walked by one scan, by device and inode, so a link that
// leads back up the tree is not followed twice.
using FolderVisits = std::set<std::pair<uint64_t, uint64_t>>;

// One folder level of the walk: root alone when relativeFolder is null.
void WalkFolder(CommandContext& context, const std::string& root, const std::string* relativeFolder,
                FolderVisits& visited);
