#include "Diagram.h"

#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    const auto e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::vector<std::string> Split(const std::string& s, const std::string& by) {
    std::vector<std::string> out;
    std::size_t at = 0;
    for (std::size_t next; (next = s.find(by, at)) != std::string::npos; at = next + by.size()) {
        out.push_back(s.substr(at, next - at));
    }
    out.push_back(s.substr(at));
    return out;
}

// The folder a box's label names: the text before " · ", "<br" or " (".
std::string LabelFolder(std::string label) {
    for (const char* end : {" · ", "<br", " ("}) {
        const auto at = label.find(end);
        if (at != std::string::npos) {
            label.resize(at);
        }
    }
    label = Trim(label);
    while (!label.empty() && label.back() == '/') {
        label.pop_back();
    }
    return label;
}

} // namespace

std::optional<TLayerDiagram> TLayerDiagram::Read(const fs::path& file, const fs::path& root,
                                                 std::string& error) {
    std::ifstream in(file);
    if (!in) {
        error = "cannot read " + file.string();
        return std::nullopt;
    }
    static const std::regex box(R"re(^\s*([A-Za-z0-9_]+)\s*\["([^"]*)"\]\s*$)re");
    std::map<std::string, std::string> folderOfBox;
    std::map<std::string, std::set<std::string>> arrows; // box → boxes it uses
    std::string line;
    bool inside = false;
    bool seen = false;
    while (std::getline(in, line)) {
        if (!inside) {
            inside = !seen && Trim(line) == "```mermaid";
            seen = seen || inside;
            continue;
        }
        if (Trim(line) == "```") {
            break;
        }
        // A dotted arrow is not a link ("table, at build time").
        if (line.find("-.->") != std::string::npos) {
            continue;
        }
        // Declarations inside a chain are stripped down to their names.
        static const std::regex decl(R"re(([A-Za-z0-9_]+)\s*\["([^"]*)"\])re");
        for (std::sregex_iterator it(line.begin(), line.end(), decl), end; it != end; ++it) {
            const std::string folder = LabelFolder((*it)[2].str());
            if (!folder.empty() && fs::is_directory(root / folder)) {
                folderOfBox[(*it)[1].str()] = folder;
            }
        }
        if (std::regex_match(line, box) || line.find("-->") == std::string::npos) {
            continue;
        }
        const std::string names = std::regex_replace(line, decl, "$1");
        const std::vector<std::string> steps = Split(names, "-->");
        for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
            for (const std::string& from : Split(steps[i], "&")) {
                for (const std::string& to : Split(steps[i + 1], "&")) {
                    arrows[Trim(from)].insert(Trim(to));
                }
            }
        }
    }
    if (folderOfBox.empty()) {
        error = "no mermaid diagram with folders in " + file.string();
        return std::nullopt;
    }
    TLayerDiagram diagram;
    for (const auto& [name, folder] : folderOfBox) {
        // Every box reached from this one, by a walk over the arrows.
        std::set<std::string> seenBoxes{name};
        std::vector<std::string> todo{name};
        while (!todo.empty()) {
            const std::string at = todo.back();
            todo.pop_back();
            for (const std::string& next : arrows[at]) {
                if (seenBoxes.insert(next).second) {
                    todo.push_back(next);
                }
            }
        }
        auto& reach = diagram.FReach[folder];
        for (const std::string& b : seenBoxes) {
            const auto it = folderOfBox.find(b);
            if (it != folderOfBox.end()) {
                reach.insert(it->second);
            }
        }
    }
    return diagram;
}

std::string TLayerDiagram::FolderOf(const std::string& relativePath) const {
    std::string best;
    for (const auto& [folder, _] : FReach) {
        if (relativePath.compare(0, folder.size(), folder) == 0 &&
            relativePath.size() > folder.size() && relativePath[folder.size()] == '/' &&
            folder.size() > best.size()) {
            best = folder;
        }
    }
    return best;
}

bool TLayerDiagram::MayInclude(const std::string& from, const std::string& to) const {
    const auto it = FReach.find(from);
    return it != FReach.end() && it->second.count(to) > 0;
}
