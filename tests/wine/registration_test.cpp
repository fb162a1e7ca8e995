// The registration actions launch tools by their full paths; the URL and
// policy tools are waited for, native image tools are not. Here the tools are stand-ins at the exact paths the
// actions build (netsh is Wine's own), and each records the parameters it was
// started with. The expected lines are written out in full.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "bench/action_runs.h"
#include "bench/bench.h"
#include "registration/core/registration_tables.h"
#include "registration/tool_launcher.h"

namespace {

using bench::Lines;

const int kPorts[] = {8191, 44440, 44441, 44442, 44443, 44444, 44445, 44446, 44447, 44448, 44449, 44450, 44451, 44452};

// The parameter line of each port, between `head` and `tail`.
Lines PortLines(const std::wstring& head, const std::wstring& tail) {
    Lines lines;
    for (int port : kPorts) lines.push_back(head + std::to_wstring(port) + tail);
    return lines;
}
const Lines kNetshLines = PortLines(L"http add urlacl url=http://+:", L"/ D:(A;;GX;;;BU)");
const Lines kHttpcfgLines = PortLines(L"set urlacl /u http://+:", L"/ /a D:(A;;GX;;;BU)");

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

// The add-in's strong-name public key.
const std::wstring kPublicKey =
    L"00240000048000009400000006020000002400005253413100040000010001002DB97584D175FCFD"
    L"F75853C6A1A56977BE6A5C7149C1F5B9471AE00794523B211C7B9CB796239609D684D9A3763011B3"
    L"FA17EF9880AFD89891CF8CB543B0A49D5D0673B7898FE126013CEA02FD775660451C3C31BDBAC863"
    L"D9150A9918E5B45509B931C4778684F61488D6E6841A199AFE3D81AD1720EACD3FBFB117EF8499BC";

// The four policy lines for the add-in at `dir` + `addIn`: each parent group
// grants Nothing, only the strong-name child full trust.
Lines PolicyLines(const std::wstring& dir, const std::wstring& addIn) {
    Lines lines;
    for (const wchar_t* level : {L"enterprise", L"machine"}) {
        const std::wstring head = std::wstring(L"-polchgprompt off -") + level +
                                  L" -addgroup 1 -allcode Nothing -name \"TenvorSmartTags\" -" + level +
                                  L" -addgroup TenvorSmartTags -strong ";
        lines.push_back(head + L"-file \"" + dir + addIn +
                        L"TenvorNameCard.dll\" TenvorNameCard -noversion FullTrust -name \"PersonName\"");
        lines.push_back(head + L"-hex " + kPublicKey + L" -noname -noversion FullTrust -name \"PersonName\"");
    }
    return lines;
}

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

// The record line that ends each adding run whose tool was found.
std::wstring Needs(bench::Session& session, const wchar_t* change) {
    return L"Product " + session.Property(L"ProductCode") + L" needs " + change;
}

TEST(UrlReservations, NetshGetsFourteenLinesAndEachLaunchIsLogged) {
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction("netshOperations", *session), 0u);
    EXPECT_EQ(WithStarts(session->Log()), Expected({L"Entering netshOperations"},
                                                   Each(L"Netshing : '", kNetshLines, L"'\n"), L"netsh started",
                                                   {Needs(*session, L"UrlReservations")}));
}

// Without a folder, a stand-in where the shell would look for a bare name
// first after the starting program's folder (the Windows folder) never runs.
TEST(UrlReservations, HttpcfgRunsFromTheGivenFolderOnlyAndNeverBySearch) {
    enum class Data { Folder, Empty, NoBackslash };
    enum class StandIn { InFolder, None, InWindowsFolder, WherePrefixLeads };
    struct Case { const char* name; Data given; StandIn standIn; };
    const Case cases[] = {
        {"tool in the folder", Data::Folder, StandIn::InFolder},
        {"tool missing", Data::Folder, StandIn::None},
        {"no folder", Data::Empty, StandIn::InWindowsFolder},
        {"no backslash", Data::NoBackslash, StandIn::WherePrefixLeads},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bench::TempDir folder;
        const bool searched = c.given != Data::Folder;
        const std::wstring data = c.given == Data::NoBackslash ? folder.Path() : searched ? L"" : folder.Path() + L"\\";
        const std::wstring parent = folder.Path().substr(0, folder.Path().rfind(L'\\'));
        std::unique_ptr<bench::StandIn> tool;
        if (c.standIn == StandIn::WherePrefixLeads)
            tool = std::make_unique<bench::StandIn>(parent, folder.Path().substr(parent.size() + 1) + L"httpcfg.exe");
        else if (c.standIn != StandIn::None)
            tool = std::make_unique<bench::StandIn>(searched ? kci::ReadEnvironmentVariable(L"windir") : folder.Path(),
                                                    L"httpcfg.exe");
        auto session = bench::Package().Property(L"CustomActionData", data).Open();
        EXPECT_EQ(bench::CallAction("httpcfgOperations", *session), 0u);
        const Lines head{L"Entering httpcfgOperations", L"httpcfg.exe path: '" + data + L"'\n"};
        if (searched) {
            Sleep(1000);
            EXPECT_TRUE(tool->CommandLines().empty());
            for (const wchar_t* suffix : {L"", L".cmdline"}) DeleteFileW((tool->Path() + suffix).c_str());
            Lines refused{L"httpcfg.exe folder is not an absolute path, nothing started"};
            if (!data.empty()) refused.insert(refused.begin(), L"httpcfg.exe folder does not end in a backslash: " + data);
            EXPECT_EQ(session->Log(), Expected(head, {}, L"", refused));
            continue;
        }
        if (tool) EXPECT_EQ(Received(*tool, 0), kHttpcfgLines);  // each waited for: all in, in order
        EXPECT_EQ(WithStarts(session->Log()), Expected(head, Each(L"httpcfging : '", kHttpcfgLines, L"'\n"),
                                                       tool ? L"httpcfg started" : L"httpcfg not successful returned: '2'\n",
                                                       {Needs(*session, L"UrlReservations")}));
    }
}

// A reservation the tool kept before the first product came stays the other
// program's: the add records it, the undo leaves it, and the record goes.
TEST(UrlReservations, AReservationAnotherProgramHadStaysItsOwn) {
    bench::TempDir folder;
    bench::StandIn httpcfg(folder.Path(), L"httpcfg.exe");
    const std::string theirs = "http://+:44441/\n";
    bench::WriteFile(httpcfg.Path() + L".store", theirs);
    auto session = bench::Package().Property(L"CustomActionData", folder.Path() + L"\\").Open();
    // Both are deferred rows: run under the script's limits.
    for (const char* action : {"httpcfgOperations", "httpcfgUndoOperations"})
        EXPECT_EQ(bench::ActionRun().Named(action).FromScript(harness::RunMode::Deferred).Call(session->Handle()), 0u);
    EXPECT_EQ(bench::ReadFile(httpcfg.Path() + L".store"), theirs);
    const Lines log = session->Log();
    for (const wchar_t* line : {L"Reserved before the product came, recorded as not the product's: http://+:44441/",
                                L"Reserved before the product came, left as it is: http://+:44441/"})
        EXPECT_EQ(std::count(log.begin(), log.end(), line), 1) << bench::Narrow(line);
    HKEY record = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI", 0, KEY_READ, &record), 2);
}

Lines CaspolHead(const std::wstring& action, const std::wstring& dir, const bench::StandIn& caspol) {
    return {L"Entering " + action, L"Installdir: '" + dir + L"'\n", L"caspolPath path: " + caspol.Path()};
}

// The shipped DLL's own export: each line's tool, which exits at once, is
// waited for, so all four have run, in order, when the action returns.
TEST(CodeAccessPolicy, ShippedLibraryWaitsForEachOfItsFourToolsAndNoLonger) {
    bench::RuntimeFolder runtime;
    bench::StandIn caspol = runtime.Place(L"Caspol.Exe");
    const std::wstring dir = L"C:\\Program Files\\Korvi\\";
    auto session = bench::Package().Property(L"CustomActionData", dir).Open();
    const DWORD started = GetTickCount();
    EXPECT_EQ(bench::CallAction("CaspolOperations", *session), 0u);
    EXPECT_LT(GetTickCount() - started, 4000u);

    EXPECT_EQ(Received(caspol, 0), PolicyLines(dir, L"Dial Assist\\add-ins\\namecard\\"));
    EXPECT_EQ(WithStarts(session->Log()),  // no exit line
              Expected(CaspolHead(L"CaspolOperations", dir, caspol),
                       Each(L"Caspoling : CASPOL'", Lines{L"0", L"1", L"2", L"3"}, L"'\n"), L"CASPOL started",
                       {Needs(*session, L"CodeAccessPolicy")}));
}

// A policy tool that hangs is waited for 5 s, and the undo starts no other
// edit while it runs.
TEST(CodeAccessPolicy, UndoStopsWhileATimedOutToolStillRuns) {
    bench::RuntimeFolder runtime;
    bench::StandIn caspol = runtime.Place(L"Caspol.Exe");
    bench::WriteFile(caspol.Path() + L".sleepms", "6500");
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction("CaspolUndoOperations", *session), 0u);
    const std::wstring line = L"-polchgprompt off -enterprise -remgroup TenvorSmartTags";
    EXPECT_EQ(WithStarts(session->Log()),
              (Lines{L"Entering CaspolUndoOperations",
                     L"Product " + session->Property(L"ProductCode") + L" no longer needs CodeAccessPolicy",
                     L"caspolPath path: " + caspol.Path(), L"Caspoling : " + line,
                     L"CASPOL started", L"CASPOL still running after 5000 ms",
                     L"Skipping the remaining levels while CASPOL runs", L"Exiting CaspolUndoOperations"}));
    EXPECT_EQ(Received(caspol, 1), Lines{line});
    Sleep(2000);  // until it has ended, so that its file can go
    DeleteFileW((caspol.Path() + L".sleepms").c_str());
}

TEST(CodeAccessPolicy, ClickToCallShowsText42AndLogsEachWholeLine) {
    bench::RuntimeFolder runtime;
    bench::StandIn caspol = runtime.Place(L"Caspol.Exe");
    const std::wstring dir = L"C:\\Korvi C2C\\";
    auto session = bench::Package().Property(L"CustomActionData", dir).Open();
    EXPECT_EQ(bench::CallAction("CaspolOperationsC2C", *session), 0u);

    const auto starts = session->Messages(INSTALLMESSAGE_ACTIONSTART);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].Text(2), L"Processing the Caspol Operations");
    const Lines lines = PolicyLines(dir, L"add-ins\\smarttag\\plugin\\");
    EXPECT_EQ(Received(caspol, 4), lines);
    Lines log = WithStarts(session->Log()), announced;
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1].rfind(L"MsiProcessMessage(ACTIONSTART) returned ", 0), 0u);
    log.erase(log.begin() + 1);
    for (const auto& line : lines)
        announced.push_back(L"Caspoling : CASPOL" + std::to_wstring(announced.size()) + L" = " + line + L" \n");
    EXPECT_EQ(log, Expected(CaspolHead(L"CaspolOperationsC2C", dir, caspol), announced, L"CASPOL started",
                            {Needs(*session, L"CodeAccessPolicy"), L"Exiting CaspolOperationsC2C"}));
}

TEST(CodeAccessPolicy, ADirectoryOf260CharactersIsNotRead) {
    for (size_t length : {258u, 259u, 260u}) {
        const std::wstring dir(length, L'd');
        auto session = bench::Package().Property(L"CustomActionData", dir).Open();
        bench::CallAction("CaspolOperationsC2C", *session);
        const Lines log = session->Log();
        const Lines expected = length < 260 ? Lines{L"Installdir: '" + dir + L"'\n"}
                                            : Lines{L"Invalid 'CustomActionData' property\n", L"result = 234", L"Installdir: ''\n"};
        EXPECT_EQ(Lines(log.begin() + 2, log.begin() + 2 + expected.size()), expected) << length;
    }
}

const Lines kAssemblies = {
    L"LinkBridges.dll",
    L"Tenvor.Qm.Desks.Shared.ViewThemePack.dll",
    L"Tenvor.Qm.Desks.Shared.ViewThemeTools.dll",
    L"Tenvor.Qm.Desks.Shared.ViewHostProxy.dll",
    L"Tenvor.Qm.Desks.Shared.ViewTools.dll",
    L"Tenvor.Qm.Desks.Chat.Hosts.dll",
    L"CoreLinkBridges.dll",
    L"tracekit.dll",
    L"View.DropButton.dll",
    L"lorimoc.exe",
    L"Interop.ChatDeskAPI.dll",
    L"Interop.ChatDeskPrivate.dll",
    L"Interop.MailGate.dll",
    L"Dial Assist\\Tenvor.DialAssist.Shared.ComBridge.dll",
    L"Dial Assist\\Tenvor.DialAssist.Shared.Kernel.dll",
    L"Dial Assist\\add-ins\\people\\TenvorDialAssistPeople.dll",
    L"Dial Assist\\add-ins\\namecard\\TenvorNameCard.dll",
};

// How many processes run the image `name`.
int Running(const wchar_t* name) {
    const kci::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {sizeof(entry)};
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        count += _wcsicmp(entry.szExeFile, name) == 0;
    return count;
}

// The removals are waited for, so that no image outlives its assembly; the
// images are made in the background.
TEST(NativeImages, EachModeLaunchesSeventeenAssembliesFromTheRegisteredFolder) {
    struct Case { const char* action; const wchar_t* prefix; const wchar_t* exitLine; bool waits; };
    for (Case c : {Case{"ProcessNGENInstall", L"/nologo /silent \"", L"Existing ProcessNGENInstall", false},
                   Case{"ProcessNGENUnInstall", L"uninstall /nologo /silent \"", L"Exiting ProcessNGENInstall", true}}) {
        SCOPED_TRACE(c.action);
        bench::RuntimeFolder runtime;
        bench::StandIn ngen = runtime.Place(L"ngen.exe");
        bench::WriteFile(ngen.Path() + L".sleepms", "3000");
        const std::wstring dir = L"C:\\Lori Moc\\";
        bench::RegistryKey key(HKEY_LOCAL_MACHINE, kci::kMessengerIntegrationKey);
        key.SetString(L"InstallDir", dir);
        auto session = bench::Package().Open();
        EXPECT_EQ(bench::CallAction(c.action, *session), 0u);
        EXPECT_EQ(Running(L"ngen.exe") == 0, c.waits);

        const Lines expected = Each(c.prefix + dir, kAssemblies, L"\"");
        EXPECT_EQ(Sorted(Received(ngen, 17)), Sorted(expected));
        for (int i = 0; i < 100 && Running(L"ngen.exe"); ++i) Sleep(100);  // until its file can go
        DeleteFileW((ngen.Path() + L".sleepms").c_str());
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
