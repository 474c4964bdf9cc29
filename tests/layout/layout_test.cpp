// The direction of dependencies between the product's folders: every #include of every source
// file against the README's layout table, whose last column says what each folder may use.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// What one folder may include: folders ("movie/") and single headers ("app/paths.h"), and
// whether Windows headers are its own business.
struct Allowed {
    std::set<std::string> folders;
    std::set<std::string> headers;
    bool win32 = false;
    bool anything = false;
};

std::vector<std::string> SplitCells(const std::string& row) {
    std::vector<std::string> cells;
    std::string cell;
    for (size_t i = 1; i < row.size(); ++i) {  // after the leading '|'
        if (row[i] == '|') {
            cells.push_back(cell);
            cell.clear();
        } else {
            cell += row[i];
        }
    }
    return cells;
}

// The rows of the table under "## Layout": folder -> what it may use.
std::map<std::string, Allowed> ReadLayoutTable(const std::string& readme) {
    std::map<std::string, Allowed> table;
    const size_t section = readme.find("\n## Layout\n");
    if (section == std::string::npos) return table;
    std::istringstream lines(readme.substr(section + 1));
    std::string line;
    std::getline(lines, line);  // the heading
    const std::regex ticked("`([^`]+)`");
    bool inTable = false;
    while (std::getline(lines, line)) {
        if (line.rfind("## ", 0) == 0) break;
        if (line.rfind("|", 0) != 0) {
            if (inTable) break;
            continue;
        }
        inTable = true;
        const std::vector<std::string> cells = SplitCells(line);
        if (cells.size() < 3) continue;
        std::vector<std::string> folders;
        for (std::sregex_iterator m(cells[0].begin(), cells[0].end(), ticked), end; m != end; ++m) {
            folders.push_back((*m)[1]);
        }
        Allowed allowed;
        const std::string& use = cells[2];
        for (std::sregex_iterator m(use.begin(), use.end(), ticked), end; m != end; ++m) {
            const std::string name = (*m)[1];
            if (!name.empty() && name.back() == '/') {
                allowed.folders.insert(name);
            } else {
                allowed.headers.insert(name);
            }
        }
        allowed.win32 = use.find("Win32") != std::string::npos;
        allowed.anything = use.find("anything") != std::string::npos;
        for (const std::string& f : folders) table[f] = allowed;
    }
    return table;
}

// Headers of the Windows API, as opposed to the C runtime's.
bool IsWindowsHeader(const std::string& name) {
    static const std::set<std::string> kNames = {
        "windows.h", "vfw.h",     "wincodec.h", "ocidl.h",    "oleidl.h",  "olectl.h", "ole2.h",
        "objbase.h", "unknwn.h",  "oaidl.h",    "commctrl.h", "commdlg.h", "shellapi.h", "shlwapi.h",
        "shlobj.h",  "mmsystem.h", "wingdi.h",  "winuser.h",  "winbase.h", "winerror.h"};
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return kNames.count(lower) != 0;
}

// A Windows backend in a file of its own, named for what it uses: jpeg_wic.cpp,
// device_font_gdi.cpp, vfw_backend.cpp.
bool IsWindowsBackendFile(const fs::path& file) {
    std::istringstream parts(file.stem().string());
    std::string part;
    while (std::getline(parts, part, '_')) {
        if (part == "gdi" || part == "wic" || part == "vfw" || part == "win") return true;
    }
    return false;
}

bool IsSource(const fs::path& file) {
    const std::string ext = file.extension().string();
    return ext == ".h" || ext == ".cpp" || ext == ".c" || ext == ".hpp" || ext == ".inc";
}

// Every include that breaks the table, one line each ("swf/x.cpp includes movie/y.h").
// Also the folders that hold sources but have no row.
std::vector<std::string> Violations(const fs::path& root, const std::map<std::string, Allowed>& table) {
    std::vector<std::string> found;
    const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<fs::path> tops;
    for (const auto& top : fs::directory_iterator(root)) {
        if (top.is_directory()) tops.push_back(top.path());
    }
    std::sort(tops.begin(), tops.end());
    for (const fs::path& top : tops) {
        const std::string folder = top.filename().string() + "/";
        if (folder[0] == '.' || folder == "build/") continue;
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(top)) {
            if (entry.is_regular_file() && IsSource(entry.path())) files.push_back(entry.path());
        }
        const bool hasSources = !files.empty();
        const auto row = table.find(folder);
        if (row == table.end()) {
            if (hasSources) found.push_back(folder + " holds sources but has no row in the table");
            continue;
        }
        const Allowed& allowed = row->second;
        if (allowed.anything) continue;
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            const std::string relative = fs::relative(file, root).generic_string();
            std::istringstream lines(testing_support::ReadFileBytes(file.string()));
            std::string line;
            while (std::getline(lines, line)) {
                std::smatch m;
                if (!std::regex_search(line, m, include)) continue;
                const std::string name = m[2];
                if (m[1] == "<") {
                    if (IsWindowsHeader(name) && !allowed.win32 && !IsWindowsBackendFile(file)) {
                        found.push_back(relative + " includes <" + name + ">, a Windows header");
                    }
                    continue;
                }
                const size_t slash = name.find('/');
                if (slash == std::string::npos) continue;  // beside the file
                const std::string target = name.substr(0, slash + 1);
                if (target == folder || allowed.folders.count(target) || allowed.headers.count(name)) continue;
                if (table.count(target) == 0 && !fs::is_directory(root / target)) continue;  // not ours
                found.push_back(relative + " includes " + name);
            }
        }
    }
    return found;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

const char* const kSmallReadme =
    "# x\n\n## Layout\n\n| folder | what | may use |\n|---|---|---|\n"
    "| `app/` | top | `low/`, `mid/x.h`; Win32 |\n"
    "| `mid/` | middle | `low/` |\n"
    "| `low/` | bottom | nothing |\n"
    "| `tests/` | tests | anything |\n\n## Next\n";

TEST(Layout, TheTableIsReadAsWritten) {
    const auto table = ReadLayoutTable(kSmallReadme);
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table.at("app/").folders, (std::set<std::string>{"low/"}));
    EXPECT_EQ(table.at("app/").headers, (std::set<std::string>{"mid/x.h"}));
    EXPECT_TRUE(table.at("app/").win32);
    EXPECT_TRUE(table.at("mid/").folders.count("low/"));
    EXPECT_TRUE(table.at("low/").folders.empty());
    EXPECT_FALSE(table.at("low/").win32);
    EXPECT_TRUE(table.at("tests/").anything);
}

TEST(Layout, IncludesAgainstTheTableInBothDirections) {
    testing_support::TempDir dir;
    const fs::path root = dir.path();
    Write(root / "low/a.h", "#pragma once\n#include <vector>\n");
    Write(root / "low/a.cpp", "#include \"low/a.h\"\n");
    Write(root / "mid/x.h", "#include \"low/a.h\"\n");
    Write(root / "mid/y.h", "#pragma once\n");
    Write(root / "app/main.cpp", "#include <windows.h>\n#include \"low/a.h\"\n#include \"mid/x.h\"\n");
    Write(root / "tests/t.cpp", "#include \"app/main.h\"\n#include <windows.h>\n");
    const auto table = ReadLayoutTable(kSmallReadme);
    EXPECT_EQ(Joined(Violations(root, table)), "");

    // A lower folder that reaches up, a single header beyond what the row names, a Windows
    // header in a portable file, and a folder without a row.
    Write(root / "low/b.cpp", "  #  include \"mid/x.h\"\n");
    Write(root / "app/other.cpp", "#include \"mid/y.h\"\n");
    Write(root / "mid/z.cpp", "#include <Windows.h>\n");
    Write(root / "mid/font_gdi.cpp", "#include <windows.h>\n");  // a backend of its own
    Write(root / "extra/e.cpp", "int e;\n");
    EXPECT_EQ(Joined(Violations(root, table)),
              "app/other.cpp includes mid/y.h\n"
              "extra/ holds sources but has no row in the table\n"
              "low/b.cpp includes mid/x.h\n"
              "mid/z.cpp includes <Windows.h>, a Windows header\n");
}

TEST(Layout, TheProductFollowsTheReadmeTable) {
    const fs::path root = TEVLIN_SOURCE_DIR;
    const auto table = ReadLayoutTable(testing_support::ReadFileBytes((root / "README.md").string()));
    ASSERT_GE(table.size(), 8u) << "the README's layout table was not found";
    for (const auto& [folder, allowed] : table) {
        EXPECT_TRUE(fs::is_directory(root / folder)) << folder << " has a row but no folder";
        for (const std::string& used : allowed.folders) {
            EXPECT_TRUE(table.count(used)) << folder << " may use " << used << ", which has no row";
        }
    }
    EXPECT_EQ(Joined(Violations(root, table)), "");
}

}  // namespace
