#pragma once
// The layers' diagram of docs/ARCHITECTURE.md (a mermaid flowchart) read as which
// folder may include which: a box names its folder before " · ", an arrow runs from
// a library to one it uses, and what follows from several arrows is allowed too.
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>

class TLayerDiagram {
public:
    // Reads the first mermaid block of the file; folders are relative to root and
    // count only if they exist there (programs' boxes name none).
    static std::optional<TLayerDiagram> Read(const std::filesystem::path& file,
                                             const std::filesystem::path& root, std::string& error);

    // The deepest folder of the diagram holding the path, or "" when none does.
    std::string FolderOf(const std::string& relativePath) const;
    // Whether a unit of `from` may include a header of `to` (both folders of the
    // diagram): the same folder, or one reached by following the arrows.
    bool MayInclude(const std::string& from, const std::string& to) const;

private:
    std::map<std::string, std::set<std::string>> FReach; // folder → folders below it
};
