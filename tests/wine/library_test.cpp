// The built library as the installer sees it: its format, its imports and
// its export table against the module definition and the sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <set>
#include <string>

#include "bench/bench.h"

namespace {

const IMAGE_NT_HEADERS32* Headers(HMODULE module) {
    auto base = reinterpret_cast<const BYTE*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    return reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Source files are read through Wine's Z: drive, which maps the Unix root.
std::wstring SourcePath(const std::wstring& relative) {
    std::wstring path = L"Z:" + bench::Widen(KCI_SOURCE_DIR) + L"/" + relative;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

void CollectSources(const std::wstring& folder, std::string& text) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) CollectSources(folder + L"\\" + name, text);
        else if (name.size() > 4 && name.substr(name.size() - 4) == L".cpp") text += bench::ReadFile(folder + L"\\" + name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

// Actions defined in the sources: extern "C" UINT __stdcall Name(MSIHANDLE ...
std::set<std::string> SourceActions() {
    std::string text;
    CollectSources(SourcePath(L"src"), text);
    std::set<std::string> names;
    std::regex action(R"(extern "C" UINT __stdcall (\w+)\(MSIHANDLE)");
    for (std::sregex_iterator it(text.begin(), text.end(), action), end; it != end; ++it) names.insert((*it)[1]);
    return names;
}

// Names the module definition exports (left of "=").
std::set<std::string> ModuleDefinitionExports() {
    std::string text = bench::ReadFile(SourcePath(L"exports"));
    std::set<std::string> names;
    std::regex line(R"(^\s*([A-Za-z_][\w@]*)\s*=)");
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string row = text.substr(start, end - start);
        std::smatch m;
        if (std::regex_search(row, m, line)) names.insert(m[1]);
        start = end + 1;
    }
    return names;
}

// Every export's whole body is the action frame, entered under the export's
// own name; only the actions that run without the module context say None.
TEST(Library, EveryExportRunsInTheActionFrame) {
    const std::set<std::string> withoutContext = {
        "TestMessage", "CheckQDNDriverOpen", "InstallCamera", "InstallQdnAndFilter",
        "InstallRtmx", "UninstallCamera", "UninstallQdnAndFilter", "UninstallRtmx"};
    std::string text;
    CollectSources(SourcePath(L"src"), text);
    std::regex definition(R"re(extern "C" UINT __stdcall (\w+)\(MSIHANDLE session\) \{\s*)re"
                          R"re((return kci::RunAction\(session, L"(\w+)", kci::ModuleContext::(\w+),)?)re");
    int actions = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), definition), end; it != end; ++it, ++actions) {
        const std::string name = (*it)[1];
        ASSERT_TRUE((*it)[2].matched) << name << " does not run in the action frame";
        EXPECT_EQ((*it)[3], name) << name << " enters the frame under another name";
        EXPECT_EQ((*it)[4], withoutContext.count(name) ? "None" : "Open") << name;
    }
    EXPECT_EQ(actions, static_cast<int>(SourceActions().size()));
    // One step opens a guard of its own inside its action's.
    std::regex innerGuard(R"re(void (\w+)\(MSIHANDLE session\) \{\s*(//[^\n]*\s*)*kci::ModuleContextGuard )re");
    std::set<std::string> guarded;
    for (std::sregex_iterator it(text.begin(), text.end(), innerGuard), end; it != end; ++it) guarded.insert((*it)[1]);
    EXPECT_EQ(guarded, std::set<std::string>{"RemoveOldShortcuts"});
}

// The WiX include that products build from names every export once as its own
// row, and adds the rows that run actions from the script, each named after
// its action's row with the kind behind it.
TEST(Library, TheWixIncludeDefinesOneCustomActionPerExportAndTheScriptRows) {
    const std::string text = bench::ReadFile(SourcePath(L"package\\KorviCustomImmediate.wxi"));
    std::multiset<std::string> entries;
    std::set<std::string> scriptRows;
    std::regex entry(R"re(<CustomAction Id="(\w+)" BinaryKey="KorviCA" DllEntry="(\w+)" Execute="(\w+)" Impersonate="(\w+)")re");
    for (std::sregex_iterator it(text.begin(), text.end(), entry), end; it != end; ++it) {
        const std::string id = (*it)[1], action = (*it)[2], execute = (*it)[3];
        const std::string own = action.find("Shortcuts") != std::string::npos ? "Korvi" + action : action;
        if (id == own) {
            entries.insert(action);
            continue;
        }
        const bool forUser = id.rfind(own + "ForUser", 0) == 0;
        const std::string kind = execute == "rollback" ? "Rollback" : execute == "commit" ? "Commit" : forUser ? "" : "Deferred";
        EXPECT_EQ(id, own + (forUser ? "ForUser" : "") + kind);
        EXPECT_EQ((*it)[4], forUser ? "yes" : "no") << id;
        scriptRows.insert(id);
    }
    const std::set<std::string> actions = SourceActions();
    EXPECT_EQ(entries, std::multiset<std::string>(actions.begin(), actions.end()));
    EXPECT_EQ(scriptRows, (std::set<std::string>{
        "CaspolOperationsRollback", "CaspolOperationsC2CRollback", "CaspolUndoOperationsRollback",
        "ProcessNGENInstallRollback", "ProcessNGENUnInstallRollback", "httpcfgOperationsRollback",
        "httpcfgUndoOperationsRollback", "netshOperationsRollback", "netshUndoOperationsRollback",
        "ForceFullDumpRollback", "UndoForceFullDumpRollback",
        "UninstallCameraDeferred", "UninstallQdnAndFilterDeferred", "UninstallRtmxDeferred", "RemoveLogsDeferred",
        "NukeRegistrySettingsDeferred", "InstallBitsDeferred", "KorviCreateShortcutsDeferred",
        "KorviCreateShortcutsForUser", "UninstallCameraRollback", "UninstallQdnAndFilterRollback",
        "UninstallRtmxRollback", "InstallCameraRollback", "InstallQdnAndFilterRollback", "InstallRtmxRollback",
        "KorviRemoveShortcutsRollback", "RemoveLogsCommit", "NukeRegistrySettingsCommit",
        "KorviRemoveShortcutsForUserRollback", "KorviRemoveShortcutsDeferred", "KorviRemoveShortcutsForUser"}));
}

TEST(Library, IsA32BitDllForIntel) {
    auto nt = Headers(bench::Library());
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
}

TEST(Library, ImportsSystemDllsOnly) {
    // Nothing that an installer would not find on the machine: the library is
    // extracted alone into a temp folder before it is loaded.
    const std::set<std::string> system = {"msi.dll",    "kernel32.dll", "user32.dll",  "advapi32.dll",
                                          "shell32.dll", "shlwapi.dll", "ole32.dll",   "oleaut32.dll",
                                          "psapi.dll",  "powrprof.dll", "msvcrt.dll",  "version.dll"};
    const std::vector<std::string> imports = bench::ImportedDlls(bench::Library());
    EXPECT_FALSE(imports.empty());
    for (const auto& name : imports) EXPECT_TRUE(system.count(Lower(name))) << "imports " << name;
}

TEST(Library, EveryActionIsExportedUnderBothSpellings) {
    std::set<std::string> actions = SourceActions();
    std::set<std::string> listed = ModuleDefinitionExports();
    ASSERT_FALSE(actions.empty());

    std::set<std::string> expected;
    for (const auto& action : actions) {
        expected.insert(action);
        expected.insert("_" + action + "@4");
        EXPECT_NE(GetProcAddress(bench::Library(), action.c_str()), nullptr) << action;
        EXPECT_NE(GetProcAddress(bench::Library(), ("_" + action + "@4").c_str()), nullptr) << action;
    }
    for (const auto& name : expected) EXPECT_TRUE(listed.count(name)) << "exports lacks " << name;
    for (const auto& name : listed) EXPECT_TRUE(expected.count(name)) << "exports lists " << name << ", which no source defines";
}

}  // namespace
