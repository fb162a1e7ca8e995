#include <gtest/gtest.h>

#include <optional>

#include "registration/core/tool_paths.h"
#include "registration/core/tool_runs.h"
#include "runtime/core/command_line.h"

namespace {

using Lines = std::vector<std::wstring>;
using kci::NgenMode;

// Records what a run launches, logs and waits for; launch n gives values[n],
// or 42, and the exit code exitCodes[n], or none; 259, what the platform
// reads for it, stands for a tool still running after the wait.
struct FakeHost : kci::ToolHost {
    std::vector<int> values;
    std::vector<std::optional<std::uint32_t>> exitCodes;
    std::vector<std::pair<std::wstring, std::wstring>> launches;
    Lines log;
    std::vector<unsigned> waits;

    kci::ToolRun Launch(const std::wstring& tool, const std::wstring& parameters, unsigned maxWaitMs) override {
        launches.emplace_back(tool, parameters);
        waits.push_back(maxWaitMs);
        const std::size_t n = launches.size() - 1;
        const auto code = n < exitCodes.size() ? exitCodes[n] : std::nullopt;
        return {n < values.size() ? values[n] : 42, code == 259u ? std::nullopt : code, code == 259u};
    }
    // The kept launches wait once, together: running[n] still runs after it.
    kci::ToolRun LaunchKept(const std::wstring& tool, const std::wstring& parameters) override {
        return ++kept, Launch(tool, parameters, 0);
    }
    std::vector<bool> WaitForKept(unsigned maxWaitMs) override { return waits.push_back(maxWaitMs), running; }
    void Log(const std::wstring& line) override { log.push_back(line); }
    std::size_t kept = 0;
    std::vector<bool> running;
    void ShowData(const std::wstring&) override {}  // the units are counted under Wine (Progress)
};

const std::wstring kKey = kci::kStrongNamePublicKey;
const std::wstring kWindir = L"C:\\Windows";

TEST(UrlReservations, FourteenPortsInOrderEachWithItsLaunchValue) {
    for (bool netsh : {true, false}) {
        SCOPED_TRACE(netsh);
        FakeHost host;
        host.values = {33, 32};  // started, and the highest launch error
        host.exitCodes = {0u, std::nullopt, 259u};  // the third still runs after its wait
        if (netsh) kci::ReserveUrlsWithNetsh(host, L"C:\\Windows\\system32");
        else kci::ReserveUrlsWithHttpcfg(host, {0, L"C:\\Tools\\"});
        const std::wstring tool = netsh ? L"C:\\Windows\\system32\\netsh.exe" : L"C:\\Tools\\httpcfg.exe";
        Lines log = netsh ? Lines{} : Lines{L"httpcfg.exe path: 'C:\\Tools\\'\n"};
        ASSERT_EQ(host.launches.size(), 14u);
        for (std::size_t i = 0; i < 14; ++i) {
            const std::wstring port = std::to_wstring(i == 0 ? 8191 : 44439 + i);
            const std::wstring line = netsh ? L"http add urlacl url=http://+:" + port + L"/ D:(A;;GX;;;BU)"
                                            : L"set urlacl /u http://+:" + port + L"/ /a D:(A;;GX;;;BU)";
            EXPECT_EQ(host.launches[i], std::make_pair(tool, line));
            log.push_back((netsh ? L"Netshing : '" : L"httpcfging : '") + line + L"'\n");
            log.push_back((netsh ? L"netsh" : L"httpcfg") + std::wstring(i == 1 ? L" not" : L"") +
                          L" successful returned: '" + (i == 0 ? L"33" : i == 1 ? L"32" : L"42") + L"'\n");
            if (i == 2) log.push_back(netsh ? L"netsh still running after 5000 ms" : L"httpcfg still running after 5000 ms");
        }
        EXPECT_EQ(host.log, log);
        EXPECT_EQ(host.waits, std::vector<unsigned>(14, 5000));
    }
}

TEST(UrlReservations, HttpcfgFolderIsAPlainPrefixAndWithoutAnAbsoluteOneEndingInABackslashNothingStarts) {
    const std::wstring refused = L"httpcfg.exe folder is not an absolute path, nothing started";
    struct Case { kci::PropertyRead read; Lines firstLines; const wchar_t* tool; };
    for (const Case& c : {
             Case{{0, L"C:\\Tools\\"}, {L"httpcfg.exe path: 'C:\\Tools\\'\n"}, L"C:\\Tools\\httpcfg.exe"},
             Case{{0, L"C:\\Tools"},
                  {L"httpcfg.exe path: 'C:\\Tools'\n", L"httpcfg.exe folder does not end in a backslash: C:\\Tools", refused},
                  nullptr},
             Case{{0, L""}, {L"httpcfg.exe path: ''\n", refused}, nullptr},
             Case{{0, L"Tools\\"}, {L"httpcfg.exe path: 'Tools\\'\n", refused}, nullptr},
             Case{{234, L"C:\\Too"}, {L"Invalid 'CustomActionData' property\n", L"result = 234", L"httpcfg.exe path: ''\n", refused},
                  nullptr},
         }) {
        SCOPED_TRACE(testing::PrintToString(c.read.value));
        FakeHost host;
        kci::ReserveUrlsWithHttpcfg(host, c.read);
        if (!c.tool) {
            EXPECT_EQ(host.log, c.firstLines);
            EXPECT_TRUE(host.launches.empty());
            continue;
        }
        EXPECT_EQ(Lines(host.log.begin(), host.log.begin() + c.firstLines.size()), c.firstLines);
        EXPECT_EQ(host.launches.size(), 14u);
        for (const auto& launch : host.launches) EXPECT_EQ(launch.first, c.tool);
    }
    FakeHost netsh;
    kci::ReserveUrlsWithNetsh(netsh, L"");
    EXPECT_EQ(netsh.log, Lines{L"netsh.exe folder is not an absolute path, nothing started"});
    EXPECT_TRUE(netsh.launches.empty());
}

// The undo lines, port by port, as each tool is given them; each launch is
// waited for. The folder checks are the adding runs' own.
TEST(UrlReservations, UndoDeletesEachPortInTableOrder) {
    const Lines netshLines = {
        L"http delete urlacl url=http://+:8191/",  L"http delete urlacl url=http://+:44440/",
        L"http delete urlacl url=http://+:44441/", L"http delete urlacl url=http://+:44442/",
        L"http delete urlacl url=http://+:44443/", L"http delete urlacl url=http://+:44444/",
        L"http delete urlacl url=http://+:44445/", L"http delete urlacl url=http://+:44446/",
        L"http delete urlacl url=http://+:44447/", L"http delete urlacl url=http://+:44448/",
        L"http delete urlacl url=http://+:44449/", L"http delete urlacl url=http://+:44450/",
        L"http delete urlacl url=http://+:44451/", L"http delete urlacl url=http://+:44452/"};
    const Lines httpcfgLines = {
        L"delete urlacl /u http://+:8191/",  L"delete urlacl /u http://+:44440/", L"delete urlacl /u http://+:44441/",
        L"delete urlacl /u http://+:44442/", L"delete urlacl /u http://+:44443/", L"delete urlacl /u http://+:44444/",
        L"delete urlacl /u http://+:44445/", L"delete urlacl /u http://+:44446/", L"delete urlacl /u http://+:44447/",
        L"delete urlacl /u http://+:44448/", L"delete urlacl /u http://+:44449/", L"delete urlacl /u http://+:44450/",
        L"delete urlacl /u http://+:44451/", L"delete urlacl /u http://+:44452/"};
    for (bool netsh : {true, false}) {
        SCOPED_TRACE(netsh);
        FakeHost host;
        host.values = {2};  // the first launch fails: the rest still go
        if (netsh) kci::ReleaseUrlsWithNetsh(host, L"C:\\Windows\\system32");
        else kci::ReleaseUrlsWithHttpcfg(host, {0, L"C:\\Tools\\"});
        Lines log = netsh ? Lines{} : Lines{L"httpcfg.exe path: 'C:\\Tools\\'\n"};
        std::vector<std::pair<std::wstring, std::wstring>> launches;
        for (const auto& line : netsh ? netshLines : httpcfgLines) {
            launches.emplace_back(netsh ? L"C:\\Windows\\system32\\netsh.exe" : L"C:\\Tools\\httpcfg.exe", line);
            log.push_back((netsh ? L"Netshing : '" : L"httpcfging : '") + line + L"'");
            log.push_back(std::wstring(netsh ? L"netsh" : L"httpcfg") +
                          (launches.size() == 1 ? L" not successful returned: '2'\n" : L" successful returned: '42'\n"));
        }
        EXPECT_EQ(host.launches, launches);
        EXPECT_EQ(host.log, log);
        EXPECT_EQ(host.waits, std::vector<unsigned>(launches.size(), 5000));
    }
}

// Each level's line runs again while the tool exits with 0, eight runs at
// most; a tool that did not start stops its level, one still running stops
// the undo.
TEST(CodeAccessPolicy, UndoRepeatsEachLevelWhileTheToolExitsWithZero) {
    const std::wstring kSkipping = L"Skipping the remaining levels while CASPOL runs";
    auto Concat = [](Lines a, const Lines& b) { return a.insert(a.end(), b.begin(), b.end()), a; };
    using Codes = std::vector<std::optional<std::uint32_t>>;
    struct Case { Codes exitCodes; int enterpriseRuns; int machineRuns; };
    for (const Case& c : {
             Case{Codes(16, 0u), 8, 8},
             Case{{0u, 0u, 1u, 0u, 259u, 0u}, 3, 2},
             Case{{std::nullopt, 5u}, 1, 1},
         }) {
        FakeHost host;
        host.exitCodes = c.exitCodes;
        if (!c.exitCodes[0]) host.values = {2};
        kci::RemoveCaspolGroups(host, kWindir);
        const std::wstring tool = L"C:\\Windows\\Microsoft.NET\\Framework\\v2.0.50727\\Caspol.Exe";
        Lines log{L"caspolPath path: " + tool};
        std::vector<std::pair<std::wstring, std::wstring>> launches;
        for (const auto& [line, runs] : {std::pair{L"-polchgprompt off -enterprise -remgroup TenvorSmartTags", c.enterpriseRuns},
                                         std::pair{L"-polchgprompt off -machine -remgroup TenvorSmartTags", c.machineRuns}})
            for (int run = 0; run < runs; ++run) {
                const auto& code = host.exitCodes[launches.size()];
                launches.emplace_back(tool, line);
                log.push_back(L"Caspoling : " + std::wstring(line));
                log.push_back(code ? L"CASPOL successful returned: '42'\n" : L"CASPOL not successful returned: '2'\n");
                if (code == 259u) log = Concat(log, {L"CASPOL still running after 5000 ms", kSkipping});
                else if (code) log.push_back(L"CASPOL exit code: " + std::to_wstring(*code));
            }
        EXPECT_EQ(host.launches, launches);
        EXPECT_EQ(host.log, log);
        EXPECT_EQ(host.waits, std::vector<unsigned>(launches.size(), 5000));
    }
}

TEST(CodeAccessPolicy, FourLinesEachToolWaitedForUpToFiveSeconds) {
    const std::wstring dir = L"C:\\Program Files\\Korvi\\";
    const std::wstring keyLine = L" -strong -hex " + kKey + L" -noname -noversion FullTrust -name \"PersonName\"";
    const std::wstring groups = L" -addgroup 1 -allcode ";
    const std::wstring smartTags = L" -name \"TenvorSmartTags\" ";
    const std::wstring nameCard = L"TenvorNameCard.dll\" TenvorNameCard -noversion FullTrust -name \"PersonName\"";
    for (const auto* action : {&kci::kCaspolProduct, &kci::kCaspolClickToCall}) {
        const bool c2c = action == &kci::kCaspolClickToCall;
        const std::wstring file = L" -strong -file \"" + dir +
                                  (c2c ? L"add-ins\\smarttag\\plugin\\" : L"Dial Assist\\add-ins\\namecard\\") + nameCard;
        const Lines lines{
            L"-polchgprompt off -enterprise" + groups + L"Nothing" + smartTags + L"-enterprise -addgroup TenvorSmartTags" + file,
            L"-polchgprompt off -enterprise" + groups + L"Nothing" + smartTags + L"-enterprise -addgroup TenvorSmartTags" + keyLine,
            L"-polchgprompt off -machine" + groups + L"Nothing" + smartTags + L"-machine -addgroup TenvorSmartTags" + file,
            L"-polchgprompt off -machine" + groups + L"Nothing" + smartTags + L"-machine -addgroup TenvorSmartTags" + keyLine};
        FakeHost host;
        kci::ApplyCaspolPolicy(host, *action, {0, dir}, kWindir);
        const std::wstring tool = L"C:\\Windows\\Microsoft.NET\\Framework\\v2.0.50727\\Caspol.Exe";
        Lines log{L"Installdir: '" + dir + L"'\n", L"caspolPath path: " + tool};
        ASSERT_EQ(host.launches.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(host.launches[i], std::make_pair(tool, lines[i]));
            log.push_back(c2c ? L"Caspoling : CASPOL" + std::to_wstring(i) + L" = " + lines[i] + L" \n"
                              : L"Caspoling : CASPOL'" + std::to_wstring(i) + L"'\n");
            log.push_back(L"CASPOL successful returned: '42'\n");
        }
        EXPECT_EQ(host.log, log);
        EXPECT_EQ(host.waits, std::vector<unsigned>(4, 5000));
    }
}

// No policy edit starts while an earlier one may still write.
TEST(CodeAccessPolicy, ALineStillRunningAfterItsWaitStopsTheRest) {
    FakeHost host;
    host.exitCodes = {0u, 259u};
    kci::ApplyCaspolPolicy(host, kci::kCaspolProduct, {0, L"C:\\Korvi\\"}, kWindir);
    EXPECT_EQ(host.launches.size(), 2u);
    EXPECT_EQ(Lines(host.log.end() - 3, host.log.end()),
              (Lines{L"CASPOL successful returned: '42'\n", L"CASPOL still running after 5000 ms",
                     L"Skipping the remaining levels while CASPOL runs"}));
}

TEST(CodeAccessPolicy, ARefusedWindirLaunchesNothingAndAFailedReadLeavesTheTailAlone) {
    for (const auto& [windir, line] : {std::pair{std::wstring(760, L'w'), L"WINDIR returned more than MAX_PATH + 500; returning false."},
                                       std::pair{std::wstring(), L"WINDIR is empty or not an absolute path; returning false."}}) {
        FakeHost refused;
        kci::ApplyCaspolPolicy(refused, kci::kCaspolClickToCall, {0, L"D:\\"}, windir);
        EXPECT_EQ(refused.log, (Lines{L"Installdir: 'D:\\'\n", line}));
        EXPECT_TRUE(refused.launches.empty());
    }

    FakeHost unread;
    kci::ApplyCaspolPolicy(unread, kci::kCaspolProduct, {234, L"D:\\cut"}, kWindir);
    EXPECT_EQ(Lines(unread.log.begin(), unread.log.begin() + 3),
              (Lines{L"Invalid 'CustomActionData' property\n", L"result = 234", L"Installdir: ''\n"}));
    EXPECT_EQ(unread.launches[0].second,
              L"-polchgprompt off -enterprise -addgroup 1 -allcode Nothing -name \"TenvorSmartTags\" -enterprise -addgroup "
              L"TenvorSmartTags -strong -file \"Dial Assist\\add-ins\\namecard\\TenvorNameCard.dll\" TenvorNameCard "
              L"-noversion FullTrust -name \"PersonName\"");
}

TEST(CodeAccessPolicy, LinesFromTheLongestDirectoryStayUnder600) {
    for (std::size_t length : {258u, 259u, 260u})
        for (const auto* action : {&kci::kCaspolProduct, &kci::kCaspolClickToCall})
            for (const auto& line : kci::CaspolParameterLines(std::wstring(length, L'd'), *action))
                EXPECT_LT(line.size(), 600u) << length;
}

// Which folders, "windir" values and command lines are refused: only an
// absolute path names one place whatever the current drive and folder.
TEST(PathRules, OnlyAnAbsolutePathIsUsed) {
    enum Kind { Folder, Windir, Program };
    struct Case { Kind kind; const wchar_t* text; bool refused; };
    for (const Case& c : {
             Case{Folder, L"C:\\Tools\\", false}, Case{Folder, L"c:\\", false}, Case{Folder, L"\\\\server\\share\\", false},
             Case{Folder, L"", true}, Case{Folder, L"C:", true}, Case{Folder, L"C:Tools\\", true}, Case{Folder, L"\\Tools\\", true},
             Case{Folder, L"Tools\\", true}, Case{Folder, L"1:\\", true}, Case{Folder, L"\"C:\\Tools\\\"", true},
             Case{Windir, L"C:\\Windows", false}, Case{Windir, L"", true}, Case{Windir, L"Windows", true},
             Case{Program, L"\"C:\\Program Files\\x.exe\" /install", false}, Case{Program, L"C:\\x.exe /install", false},
             Case{Program, L"\"\\\\server\\share\\x.exe\"", false}, Case{Program, L"", true}, Case{Program, L" /install", true},
             Case{Program, L"\"\\RtmxDriverInstaller.exe\" /uninstall", true}, Case{Program, L"\"C:\\x.exe", true},
             Case{Program, L"\"\" C:\\x.exe", true}, Case{Program, L"x.exe C:\\y.exe", true},
         }) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        const bool refused = c.kind == Folder   ? !kci::IsAbsolutePath(c.text)
                             : c.kind == Windir ? kci::RuntimeToolPath(c.text, kci::kNgenSuffix, kci::kNgenPathChars).fault ==
                                                      kci::WindirFault::NotAbsolute
                                                : !kci::StartsAbsoluteProgram(c.text);
        EXPECT_EQ(refused, c.refused);
    }
}

TEST(ToolPaths, WindirBoundsOfBothRuntimeTools) {
    struct Case { std::size_t windir; const wchar_t* suffix; std::size_t pathChars; bool fits; };
    for (Case c : {Case{759, kci::kCaspolSuffix, kci::kCaspolPathChars, true},
                   Case{760, kci::kCaspolSuffix, kci::kCaspolPathChars, false},
                   Case{715, kci::kNgenSuffix, kci::kNgenPathChars, true},
                   Case{716, kci::kNgenSuffix, kci::kNgenPathChars, false},
                   Case{759, kci::kNgenSuffix, kci::kNgenPathChars, false},
                   Case{760, kci::kNgenSuffix, kci::kNgenPathChars, false}}) {
        SCOPED_TRACE(c.windir);
        const std::wstring windir = L"C:\\" + std::wstring(c.windir - 3, L'w');
        const kci::RuntimeTool tool = kci::RuntimeToolPath(windir, c.suffix, c.pathChars);
        EXPECT_EQ(tool.fault, c.fits ? kci::WindirFault::None : kci::WindirFault::TooLong);
        EXPECT_EQ(tool.path, c.fits ? windir + c.suffix : L"");
    }
}

TEST(NativeImages, SeventeenAssembliesInListOrderForEitherMode) {
    for (NgenMode mode : {NgenMode::Install, NgenMode::Uninstall}) {
        FakeHost host;
        host.values = {42, 42, 42, 42, 2};  // one launch fails: the rest still go, the run reports it
        host.running = {false, true};
        EXPECT_FALSE(kci::GenerateNativeImages(host, mode, {0, 0, L"C:\\Lori\\"}, kWindir));
        const bool removal = mode == NgenMode::Uninstall;  // waited for, together, only when removing
        const std::wstring prefix = removal ? L"uninstall /nologo /silent \"" : L"/nologo /silent \"";
        EXPECT_EQ(host.kept, removal ? 17u : 0u);
        std::vector<unsigned> waits(17, 0);  // none at launch; the removals' one wait after the last
        if (removal) waits.push_back(60000);
        EXPECT_EQ(host.waits, waits);
        ASSERT_EQ(host.launches.size(), 17u);
        EXPECT_EQ(host.launches[0], std::make_pair(std::wstring(L"C:\\Windows\\Microsoft.NET\\Framework\\v2.0.50727\\ngen.exe"),
                                                   prefix + L"C:\\Lori\\LinkBridges.dll\""));
        EXPECT_EQ(host.launches[16].second, prefix + L"C:\\Lori\\Dial Assist\\add-ins\\namecard\\TenvorNameCard.dll\"");
        EXPECT_EQ(host.log[4], L"InstallDir + file: " + host.launches[0].second);
        EXPECT_EQ(host.log[13], L" ngen not successful returned: '2'\n");
        EXPECT_EQ(host.log.back(), L"Exiting ProcessNGEN");
        EXPECT_EQ(host.log.size(), 4u + 2 * 17 + 1 + removal);
        if (removal) {
            EXPECT_EQ(host.log[host.log.size() - 2], host.launches[1].second + L" still running after 60000 ms");
        }
    }
    FakeHost allStarted;
    EXPECT_TRUE(kci::GenerateNativeImages(allStarted, NgenMode::Install, {0, 0, L"C:\\Lori\\"}, kWindir));
}

TEST(NativeImages, NothingLaunchesWithoutTheFolderOrAFittingWindir) {
    struct Case { kci::RegistryRead folder; std::size_t windir; Lines log; };
    const std::wstring key = L"SOFTWARE\\Tenvor Systems, Inc.\\Omni Communications\\LORIMOC";
    for (const Case& c : {
             Case{{2, 0, L""}, 10, {L"Entering ProcessNGEN", L"Could not open the InstallPath key, cant run ngen! \n",
                                    L"Exiting ProcessNGEN"}},
             Case{{0, 234, L""}, 10, {L"Entering ProcessNGEN", L"after RegOpenKeyEx ProcessNGEN",
                                      L"Registry read returned 234, couldnt open " + key}},
             Case{{0, 0, L"C:\\Lori\\"}, 716, {L"Entering ProcessNGEN", L"after RegOpenKeyEx ProcessNGEN",
                                               L"InstallDir returned C:\\Lori\\", L"WINDIR returned more than MAX_PATH + 500"}},
             Case{{0, 0, L"C:\\Lori\\"}, 0, {L"Entering ProcessNGEN", L"after RegOpenKeyEx ProcessNGEN",
                                             L"InstallDir returned C:\\Lori\\", L"WINDIR is empty or not an absolute path"}},
         }) {
        FakeHost host;
        const std::wstring windir = c.windir ? L"C:\\" + std::wstring(c.windir - 3, L'w') : L"";
        EXPECT_FALSE(kci::GenerateNativeImages(host, NgenMode::Install, c.folder, windir));
        EXPECT_EQ(host.log, c.log);
        EXPECT_TRUE(host.launches.empty());
    }
}

TEST(StrongNameKey, IsA1024BitRsaPublicKeyBlobInUpperCaseHex) {
    EXPECT_EQ(kKey.size(), 320u);
    EXPECT_EQ(kKey.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos);
    // SigAlgId, HashAlgId, 148 bytes; BLOBHEADER; RSAPUBKEY "RSA1", 1024 bits, exponent 65537.
    EXPECT_EQ(kKey.substr(0, 64), L"0024000004800000940000000602000000240000525341310004000001000100");
}

}  // namespace
