#include "command/scan.h"

#include <vector>

#include "command/variables.h"
#include "command/word_list.h"
#include "core/output.h"
#include "core/platform.h"

void AddMask(CommandContext& context, const char* mask) {
    context.masks.push_back(std::make_unique<std::string>(Expand(context, mask)));
}

void ClearMasks(CommandContext& context) { context.masks.clear(); }

bool MatchMasks(const CommandContext& context, const char* fullPath) {
    if (context.masks.empty()) return true;
    for (const auto& mask : context.masks)
        if (mask && MatchesMask(fullPath, mask->c_str())) return true;
    return false;
}

namespace {

void RunForFile(CommandContext& context, const std::string& fullPath, const std::string& relativePath,
                const std::string* relativeFolder, const std::string& fileName) {
    SetVariable(context, "SCAN_FULL_PATH", fullPath.c_str(), false);
    SetVariable(context, "SCAN_SUB_PATH", relativePath.c_str(), false);
    SetVariable(context, "SCAN_REL_PATH", relativeFolder ? relativeFolder->c_str() : "", false);
    std::string base = fileName;
    size_t dot = base.rfind('.');
    if (dot != std::string::npos) {
        // A name without a dot keeps the previous file's SCAN_TYPE.
        SetVariable(context, "SCAN_TYPE", base.c_str() + dot + 1, false);
        base.resize(dot);
    }
    SetVariable(context, "SCAN_FILE", base.c_str(), false);
    std::string list = Expand(context, "$[SCAN_PARAMS]");
    RunWordList(context, list.c_str(), false);
}

// A root given with a trailing separator ("models/") is not doubled up.
std::string UnderRoot(const std::string& root, const std::string& relative) {
    if (!root.empty() && (root.back() == '/' || root.back() == '\\')) return root + relative;
    return root + "/" + relative;
}

}  // namespace

void WalkFolder(CommandContext& context, const std::string& root, const std::string* relativeFolder,
                FolderVisits& visited) {
    std::string folder = relativeFolder ? UnderRoot(root, *relativeFolder) : root;
    uint64_t device = 0, inode = 0;
    if (FolderIdentity(folder.c_str(), device, inode) && !visited.insert({device, inode}).second) return;
    std::vector<FolderEntry> entries;
    if (!ListFolder(folder.c_str(), entries)) {
        // A folder that is there but empty is no failure; one that is
        // missing, is a file or cannot be read is.
        OutProblem(Problem::kFailure, "Error - Cannot scan folder %s - %s\n", folder.c_str(), LastErrorText().c_str());
        return;
    }
    std::string prefix = relativeFolder ? *relativeFolder + "/" : std::string();
    for (const FolderEntry& entry : entries) {
        if (IsUnwinding(context)) return;
        if (entry.name.empty() || entry.name[0] == '~' || entry.name[0] == '.') continue;
        std::string relativePath = prefix + entry.name;
        if (entry.isFolder) {
            WalkFolder(context, root, &relativePath, visited);
            continue;
        }
        std::string fullPath = UnderRoot(root, relativePath);
        if (!MatchMasks(context, fullPath.c_str())) continue;
        RunForFile(context, fullPath, relativePath, relativeFolder, entry.name);
    }
}

void Scan(CommandContext& context, const char* root) {
    std::string expanded = Expand(context, root);
    if (expanded.empty()) return;
    SetVariable(context, "SCAN_ROOT", expanded.c_str(), false);
    FolderVisits visited;
    WalkFolder(context, expanded, nullptr, visited);
}
