// The registration actions launch tools they never wait for. Here the tools
// are stand-ins at the exact paths the actions build (netsh is Wine's own),
// and each records the parameters it was started with.
#include <gtest/gtest.h>

#include <algorithm>

#include "bench/bench.h"
#include "registration/core/tool_runs.h"
#include "registration/tool_launcher.h"
#include "runtime/catalogue.h"

// This runner's own copies of the actions, whose pauses a test may cap.
extern "C" UINT __stdcall CaspolOperationsC2C(MSIHANDLE session);

namespace {

using bench::Lines;

// The parameters (command line without the program) of the first `count` runs of `tool`, in
// the order they ran.
Lines Received(const bench::StandIn& tool, size_t count) {
    for (int i = 0; i < 300 && tool.CommandLines().size() < count; ++i) Sleep(100);
    Lines received;
    for (const auto& line : tool.CommandLines()) {
        const size_t end = line.rfind(L'"', 0) == 0 ? line.find(L'"', 1) + 1 : line.find(L' ');
        received.push_back(end < line.size() ? line.substr(end + 1) : L"");
    }
    return received;
}

Lines Sorted(Lines lines) { std::sort(lines.begin(), lines.end()); return lines; }

// Each entry of `table` between `head` and `tail`.
template <class Table>
Lines Each(const std::wstring& head, const Table& table, const std::wstring& tail = L"") {
    Lines lines;
    for (const auto& entry : table) lines.push_back(head + entry + tail);
    return lines;
}

// The runtime's folder below the prefix's windir, made where missing and
// emptied of the stand-ins again afterwards.
struct RuntimeFolder {
    std::wstring path = kci::ReadEnvironmentVariable(L"windir");
    std::vector<std::wstring> made, placed;

    RuntimeFolder() {
        for (const wchar_t* part : {L"\\Microsoft.NET", L"\\Framework", L"\\v2.0.50727"})
            if (CreateDirectoryW((path += part).c_str(), nullptr)) made.push_back(path);
    }
    ~RuntimeFolder() {
        for (const auto& name : placed)
            for (const wchar_t* suffix : {L"", L".cmdline", L".exitcode"}) DeleteFileW((path + L"\\" + name + suffix).c_str());
        for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW(it->c_str());
    }
    bench::StandIn Place(const std::wstring& name) {
        placed.push_back(name);
        return bench::StandIn(path, name);
    }
};

// The log with each launch that started its process, "<tool> successful returned: '<value
// above 32>'\n", written "<tool> started".
Lines WithStarts(Lines log) {
    const std::wstring mark = L" successful returned: '";
    for (auto& line : log) {
        const size_t at = line.find(mark);
        if (at != std::wstring::npos && line.back() == L'\n' && std::stoi(line.substr(at + mark.size())) > 32)
            line = line.substr(0, at) + L" started";
    }
    return log;
}

// `head`, each announced line followed by its launch's `result`, then `tail`.
Lines Expected(Lines head, const Lines& announced, const std::wstring& result, const Lines& tail = {}) {
    for (const auto& line : announced) head.insert(head.end(), {line, result});
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST(UrlReservations, NetshGetsFourteenLinesAndEachLaunchIsLogged) {
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction("netshOperations", *session), 0u);
    EXPECT_EQ(WithStarts(session->Log()), Expected({L"Entering netshOperations"},
                                                   Each(L"Netshing : '", kci::kNetshLines, L"'\n"), L"netsh started"));
}

TEST(UrlReservations, HttpcfgRunsFromTheGivenFolderOrBySearchWhenNoneIsGiven) {
    enum class Tool { InFolder, Missing, OnSearchPath };
    for (Tool where : {Tool::InFolder, Tool::Missing, Tool::OnSearchPath}) {
        SCOPED_TRACE(static_cast<int>(where));
        bench::TempDir folder;
        const std::wstring data = where == Tool::OnSearchPath ? L"" : folder.Path() + L"\\";
        // The shell looks for a bare name in the starting program's folder first.
        const std::wstring toolFolder = where == Tool::OnSearchPath ? bench::BuildFolder() : folder.Path();
        std::unique_ptr<bench::StandIn> tool;
        if (where != Tool::Missing) tool = std::make_unique<bench::StandIn>(toolFolder, L"httpcfg.exe");
        auto session = bench::Package().Property(L"CustomActionData", data).Open();
        EXPECT_EQ(bench::CallAction("httpcfgOperations", *session), 0u);
        if (tool) EXPECT_EQ(Sorted(Received(*tool, 14)), Sorted(Each(L"", kci::kHttpcfgLines)));
        if (where == Tool::OnSearchPath)
            for (const wchar_t* suffix : {L"", L".cmdline"}) DeleteFileW((tool->Path() + suffix).c_str());
        EXPECT_EQ(WithStarts(session->Log()),
                  Expected({L"Entering httpcfgOperations", L"httpcfg.exe path: '" + data + L"'\n"},
                           Each(L"httpcfging : '", kci::kHttpcfgLines, L"'\n"),
                           tool ? L"httpcfg started" : L"httpcfg not successful returned: '2'\n"));
    }
}

Lines CaspolHead(const std::wstring& action, const std::wstring& dir, const bench::StandIn& caspol) {
    return {L"Entering " + action, L"Installdir: '" + dir + L"'\n", L"caspolPath path: " + caspol.Path()};
}

TEST(CodeAccessPolicy, ShippedLibraryPausesFiveSecondsAfterEachOfItsFourLines) {
    RuntimeFolder runtime;
    bench::StandIn caspol = runtime.Place(L"Caspol.Exe");
    const std::wstring dir = L"C:\\Program Files\\Korvi\\";
    auto session = bench::Package().Property(L"CustomActionData", dir).Open();
    const DWORD started = GetTickCount();
    EXPECT_EQ(bench::CallAction("CaspolOperations", *session), 0u);
    const DWORD elapsed = GetTickCount() - started;
    EXPECT_GE(elapsed, 20000u);
    EXPECT_LT(elapsed, 30000u);

    EXPECT_EQ(Received(caspol, 4), Each(L"", kci::CaspolParameterLines(dir, kci::kCaspolProduct)));
    EXPECT_EQ(WithStarts(session->Log()),  // no exit line
              Expected(CaspolHead(L"CaspolOperations", dir, caspol),
                       Each(L"Caspoling : CASPOL'", Lines{L"0", L"1", L"2", L"3"}, L"'\n"), L"CASPOL started"));
}

// Runs this runner's copy of the action with its pauses cut short.
class CodeAccessPolicyShort : public testing::Test {
protected:
    void SetUp() override {
        kci::CapToolPausesInThisProcess(1000);
        kci::SetCatalogue(new CLocal(bench::Library()));
    }
    void TearDown() override {
        kci::CapToolPausesInThisProcess(INFINITE);
        delete kci::Catalogue();
        kci::SetCatalogue(nullptr);
    }
};

TEST_F(CodeAccessPolicyShort, ClickToCallShowsText42AndLogsEachWholeLine) {
    RuntimeFolder runtime;
    bench::StandIn caspol = runtime.Place(L"Caspol.Exe");
    const std::wstring dir = L"C:\\Korvi C2C\\";
    auto session = bench::Package().Property(L"CustomActionData", dir).Open();
    EXPECT_EQ(CaspolOperationsC2C(session->Handle()), 0u);

    const auto starts = session->Messages(INSTALLMESSAGE_ACTIONSTART);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].Text(2), L"Processing the Caspol Operations");
    const Lines lines = Each(L"", kci::CaspolParameterLines(dir, kci::kCaspolClickToCall));
    EXPECT_EQ(Received(caspol, 4), lines);
    Lines log = WithStarts(session->Log()), announced;
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1].rfind(L"MsiProcessMessage(ACTIONSTART) returned ", 0), 0u);
    log.erase(log.begin() + 1);
    for (const auto& line : lines)
        announced.push_back(L"Caspoling : CASPOL" + std::to_wstring(announced.size()) + L" = " + line + L" \n");
    EXPECT_EQ(log, Expected(CaspolHead(L"CaspolOperationsC2C", dir, caspol), announced, L"CASPOL started",
                            {L"Exiting CaspolOperationsC2C"}));
}

TEST_F(CodeAccessPolicyShort, ADirectoryOf260CharactersIsNotRead) {
    kci::CapToolPausesInThisProcess(0);
    for (size_t length : {258u, 259u, 260u}) {
        const std::wstring dir(length, L'd');
        auto session = bench::Package().Property(L"CustomActionData", dir).Open();
        CaspolOperationsC2C(session->Handle());
        const Lines log = session->Log();
        const Lines expected = length < 260 ? Lines{L"Installdir: '" + dir + L"'\n"}
                                            : Lines{L"Invalid 'CustomActionData' property\n", L"result = 234", L"Installdir: ''\n"};
        EXPECT_EQ(Lines(log.begin() + 2, log.begin() + 2 + expected.size()), expected) << length;
    }
}

TEST(NativeImages, EachModeLaunchesSeventeenAssembliesFromTheRegisteredFolder) {
    struct Case { const char* action; const wchar_t* prefix; const wchar_t* exitLine; };
    for (Case c : {Case{"ProcessNGENInstall", L"/nologo /silent \"", L"Existing ProcessNGENInstall"},
                   Case{"ProcessNGENUnInstall", L"uninstall /nologo /silent \"", L"Exiting ProcessNGENInstall"}}) {
        SCOPED_TRACE(c.action);
        RuntimeFolder runtime;
        bench::StandIn ngen = runtime.Place(L"ngen.exe");
        const std::wstring dir = L"C:\\Lori Moc\\";
        bench::RegistryKey key(HKEY_LOCAL_MACHINE, kci::kMessengerIntegrationKey);
        key.SetString(L"InstallDir", dir);
        auto session = bench::Package().Open();
        EXPECT_EQ(bench::CallAction(c.action, *session), 0u);

        const Lines expected = Each(c.prefix + dir, kci::kNativeImageAssemblies, L"\"");
        EXPECT_EQ(Sorted(Received(ngen, 17)), Sorted(expected));
        EXPECT_EQ(WithStarts(session->Log()),
                  Expected({L"Entering ProcessNGENInstall", L"Entering ProcessNGEN", L"after RegOpenKeyEx ProcessNGEN",
                            L"InstallDir returned " + dir, L"ngen path: " + ngen.Path()},
                           Each(L"InstallDir + file: ", expected), L" ngen started", {L"Exiting ProcessNGEN", c.exitLine}));
    }
}

TEST(NativeImages, WithoutTheRegisteredFolderNothingIsLaunched) {
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction("ProcessNGENInstall", *session), 0u);
    EXPECT_EQ(session->Log(), (Lines{L"Entering ProcessNGENInstall", L"Entering ProcessNGEN",
                                     L"Could not open the InstallPath key, cant run ngen! \n", L"Exiting ProcessNGEN",
                                     L"ProcessNGEN didnt finish all successful", L"Existing ProcessNGENInstall"}));
}

TEST(NativeImages, AFolderValueWithoutTerminatorOrStringTypeIsReadAsText) {
    const std::wstring folder = L"C:\\Lori\\";
    bench::RegistryKey key(HKEY_LOCAL_MACHINE, kci::kMessengerIntegrationKey);
    const auto* bytes = reinterpret_cast<const BYTE*>(folder.data());
    key.SetBytes(kci::kMessengerFolderValue, REG_BINARY, std::vector<BYTE>(bytes, bytes + 2 * folder.size()));
    auto session = bench::Package().Open();
    bench::CallAction("ProcessNGENInstall", *session);
    EXPECT_EQ(session->Log().at(3), L"InstallDir returned " + folder);
}

}  // namespace
