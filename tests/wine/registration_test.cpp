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

// What a tool was started with: its command line without the program.
std::wstring Parameters(const std::wstring& commandLine) {
    const size_t end = commandLine.rfind(L'"', 0) == 0 ? commandLine.find(L'"', 1) + 1 : commandLine.find(L' ');
    return end < commandLine.size() ? commandLine.substr(end + 1) : L"";
}

// The parameters of the first `count` runs of `tool`, in the order they ran.
Lines Received(const bench::StandIn& tool, size_t count) {
    for (int i = 0; i < 300 && tool.CommandLines().size() < count; ++i) Sleep(100);
    Lines received;
    for (const auto& line : tool.CommandLines()) received.push_back(Parameters(line));
    return received;
}

Lines Sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The runtime's folder below the prefix's windir, made where missing and
// emptied of the stand-ins again afterwards.
class RuntimeFolder {
public:
    RuntimeFolder() {
        path_ = kci::ReadEnvironmentVariable(L"windir");
        for (const wchar_t* part : {L"Microsoft.NET", L"Framework", L"v2.0.50727"}) {
            path_ += std::wstring(L"\\") + part;
            if (CreateDirectoryW(path_.c_str(), nullptr)) made_.push_back(path_);
        }
    }
    ~RuntimeFolder() {
        for (const auto& name : placed_)
            for (const wchar_t* suffix : {L"", L".cmdline", L".exitcode"}) DeleteFileW((path_ + L"\\" + name + suffix).c_str());
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) RemoveDirectoryW(it->c_str());
    }
    bench::StandIn Place(const std::wstring& name) {
        placed_.push_back(name);
        return bench::StandIn(path_, name);
    }

private:
    std::wstring path_;
    std::vector<std::wstring> made_, placed_;
};

// "<tool> successful returned: '<value>'\n" with a value above 32.
bool Started(const std::wstring& line, const std::wstring& tool) {
    const std::wstring head = tool + L" successful returned: '";
    return line.rfind(head, 0) == 0 && std::stoi(line.substr(head.size())) > 32 && line.back() == L'\n';
}

TEST(UrlReservations, NetshGetsFourteenLinesAndEachLaunchIsLogged) {
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction("netshOperations", *session), 0u);
    const Lines log = session->Log();
    ASSERT_EQ(log.size(), 29u);
    EXPECT_EQ(log[0], L"Entering netshOperations");
    for (size_t i = 0; i < 14; ++i) {
        EXPECT_EQ(log[1 + 2 * i], L"Netshing : '" + std::wstring(kci::kNetshLines[i]) + L"'\n");
        EXPECT_TRUE(Started(log[2 + 2 * i], L"netsh")) << bench::Narrow(log[2 + 2 * i]);
    }
    EXPECT_NE(log[1].find(L":8191/"), std::wstring::npos);
    EXPECT_NE(log[27].find(L":44452/"), std::wstring::npos);
}

TEST(UrlReservations, HttpcfgRunsFromTheGivenFolderOrBySearchWhenNoneIsGiven) {
    enum class Tool { InFolder, Missing, OnSearchPath };
    for (Tool where : {Tool::InFolder, Tool::Missing, Tool::OnSearchPath}) {
        bench::TempDir folder;
        const std::wstring data = where == Tool::OnSearchPath ? L"" : folder.Path() + L"\\";
        // The shell looks for a bare name in the starting program's folder first.
        const std::wstring toolFolder = where == Tool::OnSearchPath ? bench::BuildFolder() : folder.Path();
        std::unique_ptr<bench::StandIn> tool;
        if (where != Tool::Missing) tool = std::make_unique<bench::StandIn>(toolFolder, L"httpcfg.exe");
        auto session = bench::Package().Property(L"CustomActionData", data).Open();
        EXPECT_EQ(bench::CallAction("httpcfgOperations", *session), 0u);
        const Lines received = tool ? Received(*tool, 14) : Lines{};
        if (where == Tool::OnSearchPath) {
            for (const wchar_t* suffix : {L"", L".cmdline"}) DeleteFileW((tool->Path() + suffix).c_str());
        }

        if (tool) EXPECT_EQ(Sorted(received), Sorted(Lines(kci::kHttpcfgLines.begin(), kci::kHttpcfgLines.end())));
        const Lines log = session->Log();
        ASSERT_EQ(log.size(), 30u);
        EXPECT_EQ(log[1], L"httpcfg.exe path: '" + data + L"'\n");
        for (size_t i = 0; i < 14; ++i) {
            EXPECT_EQ(log[2 + 2 * i], L"httpcfging : '" + std::wstring(kci::kHttpcfgLines[i]) + L"'\n");
            const std::wstring& result = log[3 + 2 * i];
            EXPECT_TRUE(tool ? Started(result, L"httpcfg") : result == L"httpcfg not successful returned: '2'\n")
                << bench::Narrow(result);
        }
    }
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

    const auto lines = kci::CaspolParameterLines(dir, kci::kCaspolProduct);
    EXPECT_EQ(Received(caspol, 4), Lines(lines.begin(), lines.end()));
    Lines log{L"Entering CaspolOperations", L"Installdir: '" + dir + L"'\n", L"caspolPath path: " + caspol.Path()};
    const Lines got = session->Log();
    ASSERT_EQ(got.size(), 11u);  // no exit line
    EXPECT_EQ(Lines(got.begin(), got.begin() + 3), log);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(got[3 + 2 * i], L"Caspoling : CASPOL'" + std::to_wstring(i) + L"'\n");
        EXPECT_TRUE(Started(got[4 + 2 * i], L"CASPOL")) << bench::Narrow(got[4 + 2 * i]);
    }
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

    const auto lines = kci::CaspolParameterLines(dir, kci::kCaspolClickToCall);
    EXPECT_EQ(Received(caspol, 4), Lines(lines.begin(), lines.end()));
    const auto starts = session->Messages(INSTALLMESSAGE_ACTIONSTART);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].Text(2), L"Processing the Caspol Operations");
    const Lines log = session->Log();
    ASSERT_EQ(log.size(), 13u);
    EXPECT_EQ(log[0], L"Entering CaspolOperationsC2C");
    EXPECT_EQ(log[1].rfind(L"MsiProcessMessage(ACTIONSTART) returned ", 0), 0u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(log[4 + 2 * i], L"Caspoling : CASPOL" + std::to_wstring(i) + L" = " + lines[i] + L" \n");
    EXPECT_EQ(log[12], L"Exiting CaspolOperationsC2C");
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
        RuntimeFolder runtime;
        bench::StandIn ngen = runtime.Place(L"ngen.exe");
        const std::wstring dir = L"C:\\Lori Moc\\";
        bench::RegistryKey key(HKEY_LOCAL_MACHINE, kci::kMessengerIntegrationKey);
        key.SetString(L"InstallDir", dir);
        auto session = bench::Package().Open();
        EXPECT_EQ(bench::CallAction(c.action, *session), 0u);

        Lines expected;
        for (const wchar_t* assembly : kci::kNativeImageAssemblies) expected.push_back(c.prefix + dir + assembly + L"\"");
        EXPECT_EQ(Sorted(Received(ngen, 17)), Sorted(expected)) << c.action;
        const Lines log = session->Log();
        ASSERT_EQ(log.size(), 5u + 2 * 17 + 2) << c.action;
        EXPECT_EQ(log[3], L"InstallDir returned " + dir);
        EXPECT_EQ(log[4], L"ngen path: " + ngen.Path());
        for (size_t i = 0; i < 17; ++i) {
            EXPECT_EQ(log[5 + 2 * i], L"InstallDir + file: " + expected[i]);
            EXPECT_TRUE(Started(log[6 + 2 * i], L" ngen")) << bench::Narrow(log[6 + 2 * i]);
        }
        EXPECT_EQ(log.back(), c.exitLine);
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
    key.SetBytes(kci::kMessengerFolderValue, REG_BINARY,
                 std::vector<BYTE>(reinterpret_cast<const BYTE*>(folder.data()),
                                   reinterpret_cast<const BYTE*>(folder.data() + folder.size())));
    auto session = bench::Package().Open();
    bench::CallAction("ProcessNGENInstall", *session);
    EXPECT_EQ(session->Log().at(3), L"InstallDir returned " + folder);
}

}  // namespace
