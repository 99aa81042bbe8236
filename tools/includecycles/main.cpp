// Finds circles of includes between the units of the folders given, and with a
// diagram, includes that run up it.
//
//   includecycles ROOT [--diagram FILE] FOLDER...
//
// A unit is a source file's path without its extension (Foo.h and Foo.cpp are one
// unit). Unit A depends on unit B when a file of A includes B's header by a quoted
// name that resolves beside the including file or in one of the folders. Every
// strongly connected group of more than one unit is printed, and every include from
// a folder of the diagram to one its arrows do not reach; the exit code is 1 when
// there is either, so a test can keep the folders free of them.
#include "Diagram.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool IsSource(const fs::path& p) {
    const std::string ext = p.extension().string();
    return ext == ".h" || ext == ".hpp" || ext == ".cpp" || ext == ".c";
}

std::string UnitOf(const fs::path& file, const fs::path& root) {
    fs::path rel = fs::relative(file, root);
    rel.replace_extension();
    return rel.generic_string();
}

std::vector<std::string> QuotedIncludes(const fs::path& file) {
    static const std::regex line(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::vector<std::string> out;
    std::ifstream in(file);
    std::string text;
    std::smatch m;
    while (std::getline(in, text)) {
        if (std::regex_search(text, m, line)) {
            out.push_back(m[1].str());
        }
    }
    return out;
}

// Tarjan's strongly connected components over the unit graph.
class TCycleFinder {
public:
    explicit TCycleFinder(const std::map<std::string, std::set<std::string>>& edges)
        : FEdges(edges) {}

    std::vector<std::vector<std::string>> Run() {
        for (const auto& [unit, _] : FEdges) {
            if (!FIndex.count(unit)) {
                Visit(unit);
            }
        }
        return FGroups;
    }

private:
    void Visit(const std::string& unit) {
        FIndex[unit] = FLow[unit] = FNext++;
        FStack.push_back(unit);
        FOnStack.insert(unit);
        const auto it = FEdges.find(unit);
        if (it != FEdges.end()) {
            for (const std::string& to : it->second) {
                if (!FIndex.count(to)) {
                    Visit(to);
                    FLow[unit] = std::min(FLow[unit], FLow[to]);
                } else if (FOnStack.count(to)) {
                    FLow[unit] = std::min(FLow[unit], FIndex[to]);
                }
            }
        }
        if (FLow[unit] != FIndex[unit]) {
            return;
        }
        std::vector<std::string> group;
        std::string top;
        do {
            top = FStack.back();
            FStack.pop_back();
            FOnStack.erase(top);
            group.push_back(top);
        } while (top != unit);
        if (group.size() > 1) {
            std::sort(group.begin(), group.end());
            FGroups.push_back(std::move(group));
        }
    }

    const std::map<std::string, std::set<std::string>>& FEdges;
    std::map<std::string, int> FIndex, FLow;
    std::vector<std::string> FStack;
    std::set<std::string> FOnStack;
    std::vector<std::vector<std::string>> FGroups;
    int FNext = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: includecycles ROOT [--diagram FILE] FOLDER...\n";
        return 2;
    }
    const fs::path root = fs::weakly_canonical(argv[1]);
    int first = 2;
    std::optional<TLayerDiagram> diagram;
    if (std::string(argv[2]) == "--diagram" && argc > 4) {
        std::string error;
        diagram = TLayerDiagram::Read(argv[3], root, error);
        if (!diagram) {
            std::cerr << error << "\n";
            return 2;
        }
        first = 4;
    }
    std::vector<fs::path> folders;
    std::set<fs::path> files; // a folder may lie inside another one given
    for (int i = first; i < argc; ++i) {
        const fs::path folder = root / argv[i];
        if (!fs::is_directory(folder)) {
            std::cerr << "no such folder: " << folder << "\n";
            return 2;
        }
        // A folder the diagram does not show would escape the check.
        if (diagram && diagram->FolderOf(std::string(argv[i]) + "/x").empty()) {
            std::cerr << "folder not in the diagram: " << argv[i] << "\n";
            return 2;
        }
        folders.push_back(folder);
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file() && IsSource(entry.path())) {
                files.insert(entry.path());
            }
        }
    }
    std::map<std::string, std::set<std::string>> edges;
    std::size_t upward = 0;
    for (const fs::path& file : files) {
        const std::string from = UnitOf(file, root);
        edges[from];
        for (const std::string& name : QuotedIncludes(file)) {
            std::vector<fs::path> places{file.parent_path() / name};
            for (const fs::path& folder : folders) {
                places.push_back(folder / name);
            }
            for (const fs::path& place : places) {
                if (fs::is_regular_file(place)) {
                    const std::string to = UnitOf(fs::weakly_canonical(place), root);
                    if (to != from) {
                        edges[from].insert(to);
                    }
                    if (diagram) {
                        const std::string a = diagram->FolderOf(from);
                        const std::string b = diagram->FolderOf(to);
                        if (!a.empty() && !b.empty() && !diagram->MayInclude(a, b)) {
                            std::cout << "include up the diagram: " << from << " includes " << to
                                      << " (" << a << " does not use " << b << ")\n";
                            ++upward;
                        }
                    }
                    break;
                }
            }
        }
    }
    const auto groups = TCycleFinder(edges).Run();
    for (const auto& group : groups) {
        std::cout << "circle of includes:";
        for (const std::string& unit : group) {
            std::cout << ' ' << unit;
        }
        std::cout << '\n';
    }
    std::cout << files.size() << " files, " << edges.size() << " units, " << groups.size()
              << " circles, " << upward << " includes up the diagram\n";
    return groups.empty() && upward == 0 ? 0 : 1;
}
