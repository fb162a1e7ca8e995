#include <gtest/gtest.h>

#include "runtime/core/command_line.h"
#include "components/core/component_table.h"
#include "components/core/error_report.h"
#include "components/core/qdn_devices.h"
#include "components/core/rtmx_folder.h"
#include "runtime/core/text_ids.h"

namespace {

using kci::ExitCodeOutcome;
using kci::InterpretExitCode;

const std::wstring kHeader = L"The following error(s) occurred:";
const std::wstring kFooter = L"Finish install then use the Error Reporting Tool to report this problem";

TEST(ErrorReportText, OneEntryMakesThreeLines) {
    EXPECT_EQ(kci::ErrorReportText(kHeader, {L"Error installing camera drivers"}, kFooter),
              kHeader + L"\n   - Error installing camera drivers\n" + kFooter);
}

TEST(ErrorReportText, EntriesWithoutLineEndsShareOneLine) {
    EXPECT_EQ(kci::ErrorReportText(kHeader, {L"QDN driver install failed", L"DirectShow filter install failed"}, kFooter),
              kHeader + L"\n   - QDN driver install failed   - DirectShow filter install failed\n" + kFooter);
}

TEST(ErrorReportText, EntryEndingInALineEndLeavesAnEmptyLine) {
    EXPECT_EQ(kci::ErrorReportText(kHeader, {L"Invalid 'CustomActionData' property\n"}, kFooter),
              kHeader + L"\n   - Invalid 'CustomActionData' property\n\n" + kFooter);
}

TEST(ErrorReportText, EmptyListIsHeaderTwoLineEndsAndFooter) {
    EXPECT_EQ(kci::ErrorReportText(kHeader, {}, kFooter), kHeader + L"\n\n" + kFooter);
}

struct Expected {
    std::uint32_t code;
    std::vector<unsigned> texts;
    bool reboot;
};

void ExpectOutcomes(const kci::ComponentAction& action, const std::vector<Expected>& cases) {
    for (const auto& c : cases) {
        ExitCodeOutcome outcome = InterpretExitCode(action.exitCodes, c.code);
        EXPECT_EQ(outcome.failureTexts, c.texts) << testing::PrintToString(std::wstring(action.name)) << " 0x" << std::hex << c.code;
        EXPECT_EQ(outcome.reboot, c.reboot) << testing::PrintToString(std::wstring(action.name)) << " 0x" << std::hex << c.code;
    }
}

TEST(ExitCodes, InstallCameraReadsAValue) {
    ExpectOutcomes(kci::kInstallCamera, {{0, {}, false},
                                         {1, {}, false},
                                         {2, {}, false},
                                         {3, {}, true},
                                         {4, {kci::kTextCameraInstallError}, false},
                                         {0x80000000, {kci::kTextCameraInstallError}, false},
                                         {0xFFFFFFFF, {kci::kTextCameraInstallError}, false}});
    EXPECT_STREQ(InterpretExitCode(kci::kInstallCamera.exitCodes, 2).note, L"User aborted camera install");
    for (std::uint32_t code : {0u, 1u, 3u, 4u}) EXPECT_EQ(InterpretExitCode(kci::kInstallCamera.exitCodes, code).note, nullptr);
}

TEST(ExitCodes, InstallQdnReadsBitsInOrderAndNeverReboots) {
    using namespace kci;
    ExpectOutcomes(kInstallQdnAndFilter,
                   {{0, {}, false},
                    {0x5, {kTextQdnDriverInstallFailed, kTextQdnMarkedForDeletion}, false},
                    {0xF, {kTextQdnDriverInstallFailed, kTextFilterInstallFailed, kTextQdnMarkedForDeletion, kTextQdnSeeDriverLog}, false},
                    {0x10, {}, false},
                    {0x3, {kTextQdnDriverInstallFailed, kTextFilterInstallFailed}, false},
                    {0xFFFFFFF8, {kTextQdnSeeDriverLog}, false}});
}

TEST(ExitCodes, InstallRtmxFailsOnAnythingButZero) {
    ExpectOutcomes(kci::kInstallRtmx, {{0, {}, false},
                                       {1, {kci::kTextRtmxInstallFailed}, false},
                                       {3, {kci::kTextRtmxInstallFailed}, false}});
}

TEST(ExitCodes, UninstallCameraAndRtmxRebootOnThreeAndFailOtherwise) {
    ExpectOutcomes(kci::kUninstallCamera, {{0, {}, false},
                                           {3, {}, true},
                                           {1, {kci::kTextCameraUninstallError}, false},
                                           {2, {kci::kTextCameraUninstallError}, false}});
    ExpectOutcomes(kci::kUninstallRtmx, {{0, {}, false},
                                         {3, {}, true},
                                         {1, {kci::kTextRtmxUninstallError}, false},
                                         {0xFFFFFFFF, {kci::kTextRtmxUninstallError}, false}});
}

TEST(ExitCodes, UninstallQdnRebootsOnDriverOrFilterBits) {
    using namespace kci;
    ExpectOutcomes(kUninstallQdnAndFilter,
                   {{0, {}, false},
                    {0x1, {kTextQdnDriverUninstallFailed}, true},
                    {0x2, {kTextFilterUninstallFailed}, true},
                    {0x4, {kTextQdnMarkedForDeletion}, false},
                    {0x8, {kTextQdnSeeDriverLog}, false},
                    {0x3, {kTextQdnDriverUninstallFailed, kTextFilterUninstallFailed}, true},
                    {0x10, {}, false}});
}

TEST(ExitCodes, AnUnreadableCodeIsReportedByEveryAction) {
    // The runner's value for a code it could not read.
    for (const auto* action : {&kci::kInstallCamera, &kci::kInstallQdnAndFilter, &kci::kInstallRtmx,
                               &kci::kUninstallCamera, &kci::kUninstallQdnAndFilter, &kci::kUninstallRtmx})
        EXPECT_FALSE(InterpretExitCode(action->exitCodes, 0xFFFFFFFF).failureTexts.empty()) << action->name;
}

TEST(CommandLine, ProgramPathIsQuotedAndFollowedByTheSwitch) {
    struct Case { const kci::ComponentAction* action; const wchar_t* found; const wchar_t* line; };
    for (Case c : {
             Case{&kci::kInstallCamera, L"C:\\a b\\WQInstaller.exe", L"\"C:\\a b\\WQInstaller.exe\" /install"},
             Case{&kci::kInstallQdnAndFilter, L"\"q.exe\"", L"\"q.exe\" /I"},  // already quoted: kept as given
             Case{&kci::kInstallRtmx, L"", L" /install"},                      // absent key: the switch alone
             Case{&kci::kUninstallCamera, L"C:\\Drivers\\Camera\\", L"\"C:\\Drivers\\Camera\\WQInstaller.exe\" /uninstall"},
             Case{&kci::kUninstallQdnAndFilter, L"C:\\Program Files\\App", L"\"C:\\Program Files\\App\\InstallQdnAndAx.exe\" /U"},
             Case{&kci::kUninstallRtmx, L"", L"\"\\RtmxDriverInstaller.exe\" /uninstall"},
         })
        EXPECT_EQ(kci::ComponentCommandLine(*c.action, c.found), c.line) << c.action->name << " " << c.found;
}

TEST(RtmxFolder, DefaultLiesBelowCommonFiles) {
    EXPECT_EQ(kci::DefaultRtmxFolder(L"C:\\Program Files\\Common Files"),
              L"C:\\Program Files\\Common Files\\Tenvor Systems\\Media Driver");
    EXPECT_EQ(kci::DefaultRtmxFolder(kci::kFallbackCommonFiles),
              L"C:\\Program Files\\Common Files\\Tenvor Systems\\Media Driver");
    EXPECT_EQ(kci::DefaultRtmxFolder(L""), L"\\Tenvor Systems\\Media Driver");
}

TEST(RtmxFolder, ADefaultLongerThanTheBufferIsRefused) {
    const std::wstring tail = L"\\Tenvor Systems\\Media Driver";
    const std::wstring fits(260 - tail.size(), L'c');
    EXPECT_EQ(kci::DefaultRtmxFolder(fits.substr(1)), fits.substr(1) + tail);
    EXPECT_EQ(kci::DefaultRtmxFolder(fits), fits + tail);
    EXPECT_EQ(kci::DefaultRtmxFolder(fits + L"\\"), fits + tail);  // the backslash is not doubled
    EXPECT_EQ(kci::DefaultRtmxFolder(fits + L"c"), std::nullopt);
    EXPECT_EQ(kci::DefaultRtmxFolder(std::wstring(259, L'c')), std::nullopt);
}

}  // namespace

namespace {

TEST(QdnDevices, ControlDeviceThenOnePerAdapterInOrder) {
    struct Case { std::vector<std::wstring> services; std::vector<std::wstring> devices; };
    const Case cases[] = {
        {{}, {L"\\\\.\\ZephQdnPacket"}},
        {{L"{1A2B}", L"Kci2"}, {L"\\\\.\\ZephQdnPacket", L"\\\\.\\ZephQdnPacket_{1A2B}", L"\\\\.\\ZephQdnPacket_Kci2"}},
    };
    for (const Case& c : cases) EXPECT_EQ(kci::QdnDevices(c.services), c.devices);
}

TEST(JoinPath, JoinsTheFolderWithOneBackslash) {
    struct Case { std::wstring folder; std::wstring path; };
    const Case cases[] = {{L"C:\\Update", L"C:\\Update\\Bits_v15_Client_Setup.exe"},
                          {L"C:\\Update\\", L"C:\\Update\\Bits_v15_Client_Setup.exe"},
                          {L"", L"\\Bits_v15_Client_Setup.exe"}};
    for (const Case& c : cases) EXPECT_EQ(kci::JoinPath(c.folder, L"Bits_v15_Client_Setup.exe"), c.path);
}

}  // namespace
