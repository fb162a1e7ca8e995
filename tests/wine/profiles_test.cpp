// The shortcut, log and settings actions in real sessions, over a scratch
// tree of profiles in the older or the current layout.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

#include "bench/bench.h"
#include "bench/action_runs.h"
#include "bench/components_bench.h"
#include "bench/fault_imports.h"
#include "bench/log_match.h"
#include "bench/profiles_bench.h"
#include "runtime/handles.h"

using bench::Lines;

namespace {

const std::wstring kShortcut = L"Tenvor Omni Meridia.lnk";

// A session for CreateShortcuts with these property values, its shortcut file
// in a folder of its own.
struct ShortcutRun {
    ShortcutRun(std::wstring users, std::wstring startup, std::wstring desktop, std::wstring quickLaunch)
        : users(users), startup(startup), desktop(desktop), quickLaunch(quickLaunch) {
        bench::WriteFile(installDir / kShortcut, "shortcut");
        session = bench::Package()
                      .Property(L"ApplicationUsers", users)
                      .Property(L"STARTUP_SHORTCUT", startup)
                      .Property(L"DESKTOP_SHORTCUT", desktop)
                      .Property(L"QUICKLAUNCH_SHORTCUT", quickLaunch)
                      .Property(L"INSTALLDIR", Folder())
                      .Open();
    }
    Lines Run() const {
        session->ClearRecords();
        EXPECT_EQ(bench::CallAction("CreateShortcuts", *session), 0u);
        return session->Log();
    }
    std::wstring Folder() const { return installDir.Path() + L"\\"; }
    std::wstring Source() const { return Folder() + kShortcut; }
    // The lines up to the shortcut's path.
    Lines ReadLines() const {
        auto length = [](const std::wstring& v) { return std::to_wstring(v.size()); };
        return {L"Entering CreateShortcuts", L"ApplicationUsers property: " + users,
                L"DesktopFolder property: " + session->Property(L"DesktopFolder"),
                L"STARTUP_SHORTCUT property: " + startup, L"STARTUP_SHORTCUT property length: " + length(startup),
                L"DESKTOP_SHORTCUT property: " + desktop, L"DESKTOP_SHORTCUT property length: " + length(desktop),
                L"QUICKLAUNCH_SHORTCUT property: " + quickLaunch,
                L"QUICKLAUNCH_SHORTCUT property length: " + length(quickLaunch), L"INSTALLDIR property: " + Folder(),
                L"Shortcut link is here: " + Source()};
    }

    const std::wstring users, startup, desktop, quickLaunch;
    bench::TempDir installDir;
    std::unique_ptr<bench::Session> session;
};

Lines Concat(Lines lines, const Lines& more) {
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

size_t IndexOf(const Lines& log, const std::wstring& line) {
    return std::find(log.begin(), log.end(), line) - log.begin();
}

TEST(CreateShortcuts, AllUsersGoesToCommonFoldersAndEveryQuickLaunchBarOtherwiseToTheUsersOwn) {
    for (const std::wstring users : {L"AllUsers", L"allusers"}) {
        SCOPED_TRACE(bench::Narrow(users));
        bench::ScratchProfiles tree;
        ShortcutRun run(users, L"1", L"1", L"1");
        const Lines log = run.Run();

        const bool allUsers = users == L"AllUsers";
        const Lines own = {tree.Me() + L"\\Desktop", tree.Me() + L"\\Startup", tree.UserQuickLaunch()};
        Lines made = allUsers ? Lines{tree.CommonDesktop(), tree.CommonStartup()} : own;
        Lines expected = run.ReadLines();
        for (const auto& folder : made) expected.push_back(L"Copying " + run.Source() + L" to " + folder);
        if (allUsers) {
            expected = Concat(expected, {L"Going to iterate quick launch bars at " + tree.CommonAppData() + L", result=0",
                                         L"Stripping first component gave: " + tree.AllUsers(),
                                         L"Stripping second component gave: " + tree.Root()});
            for (const auto& profile : tree.Profiles()) {
                expected = Concat(expected, {L"Going to install quick launch icon at " + profile + bench::kQuickLaunch,
                                             L"Copy operation returned 0x0"});
                made.push_back(profile + bench::kQuickLaunch);
            }
        }
        const size_t sweep = IndexOf(log, L"Calling RemoveOldShortcuts");
        ASSERT_LT(sweep, log.size());
        EXPECT_EQ(Lines(log.begin(), log.begin() + sweep), expected);
        EXPECT_EQ(log.back(), L"Exiting CreateShortcuts");

        // Exactly the folders named hold the shortcut.
        ASSERT_EQ(tree.Profiles().size(), 3u);  // All Users, Alice, Bob
        Lines folders = Concat({tree.CommonDesktop(), tree.CommonStartup(), tree.Root() + L".hidden" + bench::kQuickLaunch}, own);
        for (const auto& profile : tree.Profiles()) folders.push_back(profile + bench::kQuickLaunch);
        for (const auto& folder : folders)
            EXPECT_EQ(bench::FileExists(folder + L"\\" + kShortcut), IndexOf(made, folder) < made.size()) << bench::Narrow(folder);
    }
}

// The user's folders are missing here, so any lookup would fail the action:
// with no flag "1" none is made, and the old-shortcut sweep still runs.
TEST(CreateShortcuts, LooksUpOnlyTheFoldersWhoseFlagIsOne) {
    struct Case { std::wstring desktop; bool looksUp; };
    for (const Case& c : {Case{L"", false}, Case{L"11", false}, Case{L"1", true}}) {
        bench::ScratchProfiles tree;
        bench::RemoveTree(tree.Me());
        ShortcutRun run(L"", L"0", c.desktop, L"true");
        const Lines log = run.Run();
        Lines expected = run.ReadLines();
        if (c.looksUp) {
            expected.push_back(L"Exiting CreateShortcuts with failure: Couldn't get desktop directory, return code = 0x80070002");
        } else {
            expected = Concat(expected, {L"Calling RemoveOldShortcuts", L"Entering RemoveOldShortcuts",
                                         L"Going to iterate through all users at " + tree.CommonAppData() + L", result=0x0"});
        }
        EXPECT_EQ(Lines(log.begin(), log.begin() + std::min(log.size(), expected.size())), expected);
        EXPECT_EQ(log.back(), c.looksUp ? expected.back() : L"Exiting CreateShortcuts");
    }
}

// Refusals Windows gives and Wine, running as root, does not, made at the
// library's imports: a read-only shortcut's writing open refused with 5 is
// replaced through its attributes and keeps its mark; a destination the copy
// made and then finds elsewhere (its final path unreadable) goes again.
TEST(CreateShortcuts, AReadOnlyShortcutIsReplacedAndARefusedNewOneDeleted) {
    struct Case { const char* import; int reachesInTwoCopies, failingReach; bool readOnly; };
    bench::fault::Patch(bench::Library());
    for (const Case& c : {Case{"CreateFileW", 2, 1, true}, Case{"GetFinalPathNameByHandleW", 8, 3, false}}) {
        SCOPED_TRACE(c.import);
        bench::ScratchProfiles tree(bench::Layout::Current);
        bench::fault::Record();  // a run of two copies tells the site of the writing open or check
        ShortcutRun(L"", L"0", L"1", L"1").Run();
        std::vector<bench::fault::Site> sites;
        for (const auto& [site, reaches] : bench::fault::Sites())
            if (bench::fault::Imports()[site.row].name == c.import && reaches == c.reachesInTwoCopies) sites.push_back(site);
        ASSERT_EQ(sites.size(), 1u);
        const std::wstring copy = tree.Me() + L"\\Desktop\\" + kShortcut;
        DeleteFileW(copy.c_str());
        if (c.readOnly) bench::WriteFile(copy, "older"), SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_READONLY);
        ShortcutRun desktop(L"", L"0", L"1", L"0");
        bench::fault::Arm(sites[0], false, c.failingReach);
        const Lines log = desktop.Run();
        EXPECT_EQ(bench::fault::Injected(), 1);
        bench::fault::Disarm();
        EXPECT_EQ(IndexOf(log, L"Link on the way, not copied: " + tree.Me() + L"\\Desktop") < log.size(), !c.readOnly);
        EXPECT_EQ(bench::ReadFile(copy), c.readOnly ? "shortcut" : "");
        EXPECT_EQ(GetFileAttributesW(copy.c_str()), c.readOnly ? FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE : INVALID_FILE_ATTRIBUTES);
        SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST(CreateShortcuts, FailedPropertyReadEndsTheActionBeforeTheSweep) {
    const std::wstring tooLong(300, L'x');
    for (const wchar_t* property : {L"ApplicationUsers", L"DesktopFolder", L"STARTUP_SHORTCUT", L"DESKTOP_SHORTCUT",
                                    L"QUICKLAUNCH_SHORTCUT", L"INSTALLDIR"}) {
        ShortcutRun run(L"AllUsers", L"1", L"1", L"1");
        run.session->SetProperty(property, tooLong);
        const Lines log = run.Run();
        EXPECT_EQ(log.back(), L"Exiting CreateShortcuts with failure: Couldn't get property for " + std::wstring(property) +
                                  L", return code = 0xea");
        EXPECT_EQ(IndexOf(log, L"Calling RemoveOldShortcuts"), log.size());
    }
}

// The removal lines of one profile: rows removed (Result = 1) or failing.
Lines RowLines(const std::wstring& profile, const Lines& rows, const std::wstring& line, bool removed) {
    Lines lines;
    for (const auto& row : rows) {
        lines.push_back(line + profile + row);
        lines.push_back(removed ? L"Result = 1" : L"Result = 0");
        if (!removed) lines.push_back(L"Error: *");
    }
    return lines;
}

TEST(RemoveShortcuts, DeletesTheRowsInOrderAndKeepsAMenuFolderThatHoldsAnotherFile) {
    bench::ScratchProfiles tree;
    const std::wstring menu = L"\\Start Menu\\Programs\\Tenvor Omni Meridia";
    const Lines menuRows = {menu + L"\\Tenvor Omni Meridia.lnk", menu + L"\\Tenvor Omni Trouble Reporter.lnk",
                            menu + L"\\Owner Handbook.lnk"};
    const std::wstring quickLaunch = bench::kQuickLaunch + L"\\" + kShortcut;
    const std::wstring alice = tree.Root() + L"Alice", bob = tree.Root() + L"Bob";
    for (const std::wstring& profile : {alice, tree.Root() + L".hidden"}) {
        bench::CreateFolders(profile + menu);
        for (const auto& row : Concat(menuRows, {quickLaunch})) bench::WriteFile(profile + row, "x");
    }
    bench::CreateFolders(bob + menu);
    bench::WriteFile(bob + menu + L"\\Other.lnk", "x");
    bench::WriteFile(tree.CommonDesktop() + L"\\" + kShortcut, "x");
    bench::WriteFile(tree.CommonStartup() + L"\\" + kShortcut, "x");

    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction("RemoveShortcuts", *session), 0u);

    Lines expected = {L"Entering RemoveShortcuts",
                      L"Going to iterate through all users at " + tree.CommonAppData() + L", result=0x0",
                      L"Stripping first component gave: " + tree.AllUsers(),
                      L"Deleting desktop icon at " + tree.CommonDesktop() + L"\\" + kShortcut, L"Result = 1",
                      L"Deleting startup icon at " + tree.CommonStartup() + L"\\" + kShortcut, L"Result = 1",
                      L"Stripping second component gave: " + tree.Root()};
    for (const auto& profile : tree.Profiles()) {
        const bool full = profile == alice;
        expected = Concat(expected, RowLines(profile, {quickLaunch}, L"Deleting quick launch icon at ", full));
        expected = Concat(expected, RowLines(profile, Concat(menuRows, {menu}), L"Deleting startup menu at ", full));
    }
    // The common desktop and Startup folders are the all-users rows' own: not tried twice.
    expected = Concat(expected, RowLines(tree.Me(), {L"\\Desktop\\" + kShortcut}, L"Deleting desktop icon at ", false));
    expected = Concat(expected, RowLines(tree.Me(), {L"\\Startup\\" + kShortcut}, L"Deleting startup icon at ", false));
    expected = Concat(expected, RowLines(tree.UserQuickLaunch(), {L"\\" + kShortcut}, L"Deleting quick launch icon at ", false));
    expected.push_back(L"Leaving RemoveShortcuts");
    bench::ExpectLog(session->Log(), expected);

    EXPECT_FALSE(bench::FileExists(alice + menu));
    EXPECT_FALSE(bench::FileExists(alice + quickLaunch));
    EXPECT_FALSE(bench::FileExists(tree.CommonDesktop() + L"\\" + kShortcut));
    EXPECT_TRUE(bench::FileExists(bob + menu + L"\\Other.lnk"));
    EXPECT_TRUE(bench::FileExists(tree.Root() + L".hidden" + menu + L"\\Owner Handbook.lnk"));
}

// The log of `action` in a session of its own.
Lines RunAction(const char* action) {
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction(action, *session), 0u);
    return session->Log();
}

// RemoveLogs with INSTALLDIR at `directory`.
Lines RunRemoveLogs(const std::wstring& directory) {
    auto session = bench::Package().Directory(L"INSTALLDIR", L"TARGETDIR", L"App").Open();
    session->Cost();
    bench::SetTargetPath(*session, L"INSTALLDIR", directory);
    EXPECT_EQ(bench::CallAction("RemoveLogs", *session), 0u);
    return session->Log();
}

// What a case leaves: the lines its runs logged, the runs of lines expected
// among them, and the files that must be gone and those that must stay.
struct Outcome {
    Lines log;
    std::vector<Lines> runs;
    Lines gone, kept;
};

// The deletes of the profile actions stay inside what the product made: never
// at the drive root, never through a folder link, and on the current layout
// they take away every copy that CreateShortcuts made. Each scenario runs in
// a scratch profile tree of `layout`, beside a folder outside it.
void StaysInside(bench::Layout layout,
                 const std::function<Outcome(const bench::ScratchProfiles&, const bench::TempDir& outside)>& run) {
    bench::TempDir outside;
    bench::ScratchProfiles tree(layout);
    const Outcome outcome = run(tree, outside);
    for (const Lines& run : outcome.runs) bench::ExpectInOrder(outcome.log, run);
    for (const auto& file : outcome.gone) EXPECT_FALSE(bench::FileExists(file)) << bench::Narrow(file);
    for (const auto& file : outcome.kept) EXPECT_TRUE(bench::FileExists(file)) << bench::Narrow(file);
    bench::RemoveTree(L"C:\\DeskTop");
    bench::RemoveTree(L"C:\\Start Menu");
}

const std::wstring kPelago = L"Tenvor Pelago.lnk";

TEST(ProfileDeletes, DriveRootCanariesSurviveBothSweeps) {
    StaysInside(bench::Layout::Current, [](const bench::ScratchProfiles& tree, const bench::TempDir&) {
        const Lines canaries = {L"C:\\DeskTop\\" + kShortcut, L"C:\\DeskTop\\" + kPelago,
                                L"C:\\Start Menu\\Programs\\Startup\\" + kShortcut,
                                L"C:\\Start Menu\\Programs\\Startup\\" + kPelago};
        bench::CreateFolders(L"C:\\Start Menu\\Programs\\Startup");
        bench::CreateFolders(L"C:\\DeskTop");
        for (const auto& canary : canaries) bench::WriteFile(canary, "canary");
        bench::RemoveTree(tree.Me() + L"\\Startup");  // a shell folder the platform cannot give
        ShortcutRun create(L"AllUsers", L"0", L"0", L"0");
        Outcome outcome{Concat(RunAction("RemoveShortcuts"), create.Run()), {}, {}, canaries};
        for (const std::wstring& file : {kShortcut, kPelago}) {
            outcome.runs.push_back({
                L"Going to iterate through all users at C:\\ProgramData, result=0x0",
                L"Stripping first component gave: C:",
                L"No profiles root above C:\\ProgramData, all-users profile not visited",
                L"Stripping second component gave: ",
                L"No profiles root above C:\\ProgramData, no profile visited",
                L"Deleting desktop icon at " + tree.CommonDesktop() + L"\\" + file, L"Result = 0", L"Error: *",
                L"Deleting desktop icon at " + tree.Me() + L"\\Desktop\\" + file, L"Result = 0", L"Error: *",
                L"Deleting startup icon at " + tree.CommonStartup() + L"\\" + file, L"Result = 0", L"Error: *",
                L"Folder CSIDL 0x7 not found, result=0x80070002, nothing deleted there",
                L"Deleting quick launch icon at " + tree.UserQuickLaunch() + L"\\" + file, L"Result = 0",
                L"Error: *"});
        }
        return outcome;
    });
}

TEST(ProfileDeletes, CopiesMadeOnTheCurrentLayoutAreRemoved) {
    StaysInside(bench::Layout::Current, [](const bench::ScratchProfiles& tree, const bench::TempDir&) {
        bench::WriteFile(tree.Me() + L"\\Startup\\" + kPelago, "older product");
        Lines log = ShortcutRun(L"AllUsers", L"1", L"1", L"1").Run();
        log = Concat(log, ShortcutRun(L"", L"1", L"1", L"1").Run());
        const Lines copies = {tree.CommonDesktop() + L"\\" + kShortcut, tree.Me() + L"\\Desktop\\" + kShortcut,
                              tree.CommonStartup() + L"\\" + kShortcut, tree.Me() + L"\\Startup\\" + kShortcut,
                              tree.UserQuickLaunch() + L"\\" + kShortcut};
        for (const auto& copy : copies) EXPECT_TRUE(bench::FileExists(copy)) << bench::Narrow(copy);
        const Lines older = {L"Deleting startup icon at " + tree.Me() + L"\\Startup\\" + kPelago, L"Result = 1"};
        Lines removed;
        const wchar_t* lines[] = {L"Deleting desktop icon at ", L"Deleting desktop icon at ",
                                  L"Deleting startup icon at ", L"Deleting startup icon at ",
                                  L"Deleting quick launch icon at "};
        for (size_t i = 0; i < copies.size(); ++i) removed = Concat(removed, {lines[i] + copies[i], L"Result = 1"});
        Outcome outcome{Concat(log, RunAction("RemoveShortcuts")), {older, removed}, copies, {}};
        outcome.gone.push_back(tree.Me() + L"\\Startup\\" + kPelago);
        return outcome;
    });
}

TEST(ProfileDeletes, AFolderLinkInLogsKeepsItsTargetAndTheFoldersOnItsWay) {
    StaysInside(bench::Layout::Current, [](const bench::ScratchProfiles&, const bench::TempDir& outside) {
        const std::wstring logs = outside / L"App\\Logs";
        bench::CreateFolders(logs + L"\\old");
        bench::CreateFolders(outside / L"elsewhere");
        for (const auto& file : {logs + L"\\client.log", logs + L"\\old\\client.log", outside / L"elsewhere\\data.txt"})
            bench::WriteFile(file, "x");
        bench::FolderLink link(logs + L"\\old\\linked", outside / L"elsewhere");
        return Outcome{RunRemoveLogs(outside / L"App"),
                       {{L"Going to try removing log files: " + logs + L"\\*.*",
                         L"Link left in place: " + logs + L"\\old\\linked",
                         L"SHFileOperation to delete log files: [" + logs + L"\\*.*] returned 0",
                         L"Log folder holds a link, kept: " + logs, L"Exiting RemoveLogs"}},
                       {logs + L"\\client.log", logs + L"\\old\\client.log"},
                       {outside / L"elsewhere\\data.txt", logs + L"\\old"}};
    });
}

TEST(ProfileDeletes, ALogsFolderThatIsALinkKeepsItsTarget) {
    StaysInside(bench::Layout::Current, [](const bench::ScratchProfiles&, const bench::TempDir& outside) {
        bench::CreateFolders(outside / L"App");
        bench::CreateFolders(outside / L"elsewhere");
        bench::WriteFile(outside / L"elsewhere\\client.log", "x");
        bench::FolderLink link(outside / L"App\\Logs", outside / L"elsewhere");
        const Lines log = RunRemoveLogs(outside / L"App");
        for (const auto& line : log) EXPECT_NE(line.find(L"SHFileOperation"), 0u) << bench::Narrow(line);
        // Wine opens a Unix link's target even when told not to: the final path tells.
        return Outcome{log,
                       {{L"Going to try removing log files: " + outside / L"App\\Logs\\*.*",
                         L"Installation folder reached through a link, logs kept: " + outside / L"App\\Logs",
                         L"Log folder holds a link, kept: " + outside / L"App\\Logs", L"Exiting RemoveLogs"}},
                       {},
                       {outside / L"elsewhere\\client.log"}};
    });
}

TEST(ProfileDeletes, NoCopyIntoAProfilePassesAFolderLink) {
    StaysInside(bench::Layout::Older, [](const bench::ScratchProfiles& tree, const bench::TempDir& outside) {
        const std::wstring appData = tree.Root() + L"Alice\\Application Data";
        bench::RemoveTree(appData);
        bench::CreateFolders(outside / L"appdata\\Microsoft\\Internet Explorer\\Quick Launch");
        bench::FolderLink link(appData, outside / L"appdata");
        return Outcome{ShortcutRun(L"AllUsers", L"0", L"0", L"1").Run(),
                       {{L"Link on the way, not copied: " + tree.Root() + L"Alice" + bench::kQuickLaunch}},
                       {outside / L"appdata\\Microsoft\\Internet Explorer\\Quick Launch\\" + kShortcut},
                       {tree.Root() + L"Bob" + bench::kQuickLaunch + L"\\" + kShortcut}};
    });
}

TEST(ProfileDeletes, AFolderLinkInsideAProfileOrAsAProfileKeepsItsTarget) {
    StaysInside(bench::Layout::Older, [](const bench::ScratchProfiles& tree, const bench::TempDir& outside) {
        const std::wstring menu = tree.Root() + L"Alice\\Start Menu\\Programs\\Tenvor Omni Meridia";
        bench::CreateFolders(tree.Root() + L"Alice\\Start Menu\\Programs");
        bench::CreateFolders(outside / L"menu");
        bench::CreateFolders(outside / L"Mallory" + bench::kQuickLaunch);
        const Lines kept = {outside / L"menu\\" + kShortcut, outside / L"menu\\Owner Handbook.lnk",
                            outside / L"Mallory" + bench::kQuickLaunch + L"\\" + kShortcut};
        for (const auto& file : kept) bench::WriteFile(file, "x");
        bench::FolderLink inProfile(menu, outside / L"menu");
        bench::FolderLink asProfile(tree.Root() + L"Mallory", outside / L"Mallory");
        Outcome outcome{RunAction("RemoveShortcuts"),
                        {{L"Link on the way, not deleted: " + menu + L"\\" + kShortcut,
                          L"Link on the way, not deleted: " + menu + L"\\Tenvor Omni Trouble Reporter.lnk",
                          L"Link on the way, not deleted: " + menu + L"\\Owner Handbook.lnk",
                          L"Link on the way, not deleted: " + menu},
                         {L"Leaving RemoveShortcuts"}},
                        {},
                        kept};
        for (const auto& line : outcome.log)
            EXPECT_EQ(line.find(L"Mallory"), std::wstring::npos) << bench::Narrow(line);
        return outcome;
    });
}

// Plain cases the held handles must not break: no copy over a file link in
// another profile's Quick Launch folder, none into one missing there; the
// files of a Logs folder another program holds open go, Logs reached by the
// 8.3 name of the installation folder goes, and a hard link in it to a
// read-only file stays with the file's mark.
TEST(ProfileDeletes, PlainCasesWorkThroughHeldHandles) {
    auto removal = [](const std::wstring& app, const std::wstring& files, const std::wstring& folder) -> Lines {
        return {L"SHFileOperation to delete log files: [" + app + L"\\Logs\\*.*] returned " + files,
                L"Going to try removing log file folder: " + app + L"\\Logs",
                L"SHFileOperation to delete log folder: [" + app + L"\\Logs] returned " + folder};
    };
    struct Case { const char* name; std::function<Outcome(const bench::ScratchProfiles&, const bench::TempDir&)> run; };
    const Case cases[] = {
        {"quick launch copies past a link and a missing folder", [](const bench::ScratchProfiles& tree, const bench::TempDir& outside) {
            const std::wstring alice = tree.Root() + L"Alice" + bench::kQuickLaunch;
            const std::wstring bob = tree.Root() + L"Bob" + bench::kQuickLaunch;
            bench::WriteFile(outside / L"precious.dll", "precious");
            bench::FolderLink link(alice + L"\\" + kShortcut, outside / L"precious.dll");
            bench::RemoveTree(tree.Root() + L"Bob\\Application Data\\Microsoft");
            Outcome outcome{ShortcutRun(L"AllUsers", L"0", L"0", L"1").Run(),
                            {{L"Going to install quick launch icon at " + alice, L"Link on the way, not copied: " + alice},
                             {L"Going to install quick launch icon at " + bob, L"Folder not there, not copied: " + bob}},
                            {tree.Root() + L"Bob\\Application Data\\Microsoft"},
                            {tree.AllUsers() + bench::kQuickLaunch + L"\\" + kShortcut}};
            EXPECT_EQ(bench::ReadFile(outside / L"precious.dll"), "precious");
            return outcome;
        }},
        {"a shortcut source linked outside or over 1 MB", [](const bench::ScratchProfiles& tree, const bench::TempDir& outside) {
            const std::wstring refused = L"Shortcut source is not a plain file, not copied: ";
            bench::WriteFile(outside / L"secret.txt", "secret");
            Lines log;
            std::vector<Lines> expected;
            for (bool large : {false, true}) {  // one session at a time: the log goes to the last one opened
                ShortcutRun run(L"AllUsers", L"0", L"0", L"1");
                DeleteFileW(run.Source().c_str());
                std::optional<bench::FolderLink> planted;
                if (large) bench::WriteFile(run.Source(), std::string(1024 * 1024 + 1, 'x'));
                else planted.emplace(run.Source(), outside / L"secret.txt");
                log = Concat(log, run.Run());
                expected.push_back({refused + run.Source(), L"Calling RemoveOldShortcuts"});
            }
            return Outcome{log, expected,
                           {tree.AllUsers() + bench::kQuickLaunch + L"\\" + kShortcut},
                           {outside / L"secret.txt"}};
        }},
        {"a Logs folder a console holds", [&](const bench::ScratchProfiles&, const bench::TempDir& outside) {
            const std::wstring logs = outside / L"App\\Logs";
            bench::CreateFolders(logs + L"\\old");
            for (const wchar_t* file : {L"\\a.log", L"\\b.log", L"\\old\\c.log"}) bench::WriteFile(logs + file, "x");
            // A console whose current folder it is holds it so.
            const kci::ScopedHandle console(CreateFileW(logs.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
            return Outcome{RunRemoveLogs(outside / L"App"), {removal(outside / L"App", L"0", L"32")},
                           {logs + L"\\a.log", logs + L"\\b.log", logs + L"\\old"}, {logs}};
        }},
        {"an installation folder given by its short name", [&](const bench::ScratchProfiles&, const bench::TempDir& outside) {
            const std::wstring app = outside / L"LongInstallFolder";
            bench::CreateFolders(app + L"\\Logs");
            bench::WriteFile(app + L"\\Logs\\a.log", "x");
            wchar_t shortName[MAX_PATH] = {};
            GetShortPathNameW(app.c_str(), shortName, MAX_PATH);
            EXPECT_NE(shortName, app);
            return Outcome{RunRemoveLogs(shortName), {removal(shortName, L"0", L"0")}, {app + L"\\Logs"}, {app}};
        }},
        {"a read-only hard link in Logs", [&](const bench::ScratchProfiles&, const bench::TempDir& outside) {
            const std::wstring logs = outside / L"App\\Logs", data = outside / L"data.bin";
            bench::CreateFolders(logs);
            bench::WriteFile(logs + L"\\a.log", "x");
            bench::WriteFile(data, "x");
            SetFileAttributesW(data.c_str(), FILE_ATTRIBUTE_READONLY);
            EXPECT_TRUE(CreateHardLinkW((logs + L"\\linked.log").c_str(), data.c_str(), nullptr));
            Lines run = removal(outside / L"App", L"5", L"145");
            run.insert(run.begin(), L"Hard link left in place: " + logs + L"\\linked.log");
            Outcome outcome{RunRemoveLogs(outside / L"App"), {run}, {logs + L"\\a.log"}, {data, logs + L"\\linked.log"}};
            EXPECT_TRUE(GetFileAttributesW(data.c_str()) & FILE_ATTRIBUTE_READONLY);
            SetFileAttributesW(data.c_str(), FILE_ATTRIBUTE_NORMAL);
            return outcome;
        }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StaysInside(bench::Layout::Older, c.run);
    }
}

// Another program swaps a folder for a folder link to a target holding files
// of the same names, at the line logged just before the work: the link's
// target keeps its files. Without the swap the product's files go. The Logs
// folder is held from its first line on: renaming it then is refused.
TEST(ProfileDeletes, AFolderSwappedForALinkJustBeforeTheWorkKeepsTheLinksTarget) {
    const std::wstring menu = L"\\Start Menu\\Programs\\Tenvor Omni Meridia", logs = L"\\Logs\\client.log";
    // "@" stands for the folder a case works in: the installation directory
    // for RemoveLogs, a profile for RemoveShortcuts.
    struct Case {
        const char* name;
        bool removesLogs;
        std::wstring swapped;  // below "@"
        Lines files;           // below "@": the product's; those in `swapped` are made in the target too
        std::wstring line;     // the swap comes with it
        Lines swappedLines;    // right after it, in order
        DWORD renameError;
    };
    const Case cases[] = {
        {"Logs itself", true, L"\\Logs", {logs, L"\\Logs\\old\\client.log"}, L"Going to try removing log files: @\\Logs\\*.*",
         {L"Installation folder reached through a link, logs kept: @\\Logs", L"Log folder holds a link, kept: @\\Logs",
          L"Exiting RemoveLogs"}, 0},
        {"a folder in Logs", true, L"\\Logs\\old", {logs, L"\\Logs\\old\\client.log"},
         L"Going to try removing log files: @\\Logs\\*.*",
         {L"Link left in place: @\\Logs\\old", L"SHFileOperation to delete log files: [@\\Logs\\*.*] returned 0",
          L"Log folder holds a link, kept: @\\Logs"}, 0},
        {"Logs, once held", true, L"\\Logs", {logs}, L"Going to try removing log file folder: @\\Logs",
         {L"SHFileOperation to delete log folder: [@\\Logs] returned 0"}, ERROR_SHARING_VIOLATION},
        {"the folder of a row's file", false, menu, {menu + L"\\" + kShortcut, menu + L"\\Owner Handbook.lnk"},
         L"Deleting startup menu at @" + menu + L"\\" + kShortcut,
         {L"Link on the way, not deleted: @" + menu + L"\\" + kShortcut,
          L"Link on the way, not deleted: @" + menu + L"\\Tenvor Omni Trouble Reporter.lnk",
          L"Link on the way, not deleted: @" + menu + L"\\Owner Handbook.lnk", L"Link on the way, not deleted: @" + menu},
         0},
    };
    for (const Case& c : cases) {
        for (const bool swap : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (swap ? ", swapped" : ", not swapped"));
            bench::TempDir outside;
            bench::ScratchProfiles tree;
            const std::wstring at = c.removesLogs ? outside / L"App" : tree.Root() + L"Alice";
            auto place = [&](std::wstring text) {
                const size_t mark = text.find(L'@');
                return mark == std::wstring::npos ? text : text.replace(mark, 1, at);
            };
            auto inSwapped = [&](const std::wstring& file) { return file.rfind(c.swapped + L"\\", 0) == 0; };
            Lines targetFiles;
            for (const auto& file : c.files) {
                if (inSwapped(file)) targetFiles.push_back(outside / L"target" + file.substr(c.swapped.size()));
                for (const auto& path : {at + file, inSwapped(file) ? targetFiles.back() : at + file}) {
                    bench::CreateFolders(path.substr(0, path.rfind(L'\\')));
                    bench::WriteFile(path, "x");
                }
            }
            auto session = bench::Package().Directory(L"INSTALLDIR", L"TARGETDIR", L"App").Open();
            session->Cost();
            bench::SetTargetPath(*session, L"INSTALLDIR", at);
            bench::SwapAtLine swapper(*session, swap ? place(c.line) : L"", at + c.swapped, outside / L"target");
            EXPECT_EQ(bench::CallAction(c.removesLogs ? "RemoveLogs" : "RemoveShortcuts", *session), 0u);

            Lines expected = {place(c.line)};
            for (const auto& line : c.swappedLines) expected.push_back(place(line));
            if (swap) bench::ExpectInOrder(session->Log(), expected);
            EXPECT_EQ(swapper.Swapped(), swap && c.renameError == 0);
            EXPECT_EQ(swapper.RenameError(), swap ? c.renameError : 0);
            for (const auto& file : targetFiles) EXPECT_TRUE(bench::FileExists(file)) << bench::Narrow(file);
            // What the swap did not take out of the product's reach goes.
            for (const auto& file : c.files)
                if (!swapper.Swapped() || !inSwapped(file)) EXPECT_FALSE(bench::FileExists(at + file)) << bench::Narrow(file);
        }
    }
}

// The Logs folder under the installation directory goes, a "Logs" folder one
// level higher stays; a missing one gives two failed deletes. An entry whose
// path does not fit MAX_PATH is not opened: it stays, and so does Logs. A
// folder too full for one read of its listing is read whole.
TEST(RemoveLogs, DeletesTheLogsFolderOfTheInstallationDirectoryOnly) {
    struct Case { bool logsExist; size_t entryChars; const wchar_t* filesResult; const wchar_t* folderResult; int more; DWORD attributes = 0; };
    for (const Case& c : {Case{true, 0, L"0", L"0", 0}, Case{false, 0, L"*", L"*", 0}, Case{true, 259, L"0", L"0", 0},
                          Case{true, 260, L"206", L"145", 0}, Case{true, 0, L"0", L"0", 700} /* more than one read */,
                          Case{true, 0, L"0", L"0", 0, FILE_ATTRIBUTE_READONLY}}) {
        bench::TempDir top;
        bench::CreateFolders(top / L"Logs");
        bench::WriteFile(top / L"Logs\\keep.log", "x");
        const std::wstring directory = top / L"App";
        const std::wstring files = directory + L"\\Logs\\*.*", folder = directory + L"\\Logs";
        // Made through the long-path form, which takes paths beyond MAX_PATH.
        const std::wstring entry = L"\\\\?\\" + folder + L"\\" +
                                   (c.entryChars ? std::wstring(c.entryChars - folder.size() - 1, L'p') : L"a.log");
        if (c.logsExist) bench::CreateFolders(folder);
        if (c.logsExist) bench::WriteFile(entry, "x");
        if (c.attributes) ASSERT_TRUE(SetFileAttributesW(entry.c_str(), c.attributes));
        for (int i = 0; i < c.more; ++i) bench::WriteFile(folder + L"\\" + std::to_wstring(i) + std::wstring(97, L'n'), "x");
        auto session = bench::Package().Directory(L"INSTALLDIR", L"TARGETDIR", L"App").Open();
        session->Cost();
        bench::SetTargetPath(*session, L"INSTALLDIR", directory);
        EXPECT_EQ(bench::CallAction("RemoveLogs", *session), 0u);

        Lines log = session->Log();
        bench::ExpectLog(log, {L"Entering RemoveLogs", L"MsiProcessMessage(ACTIONSTART) returned 0",
                               L"MsiGetProperty says ZephWin32.exe component path is [" + directory + L"\\], len=" +
                                   std::to_wstring(directory.size() + 1),
                               L"Going to try removing log files: " + files,
                               L"SHFileOperation to delete log files: [" + files + L"] returned " + c.filesResult,
                               L"Going to try removing log file folder: " + folder,
                               L"SHFileOperation to delete log folder: [" + folder + L"] returned " + c.folderResult,
                               L"Exiting RemoveLogs"});
        if (!c.logsExist) EXPECT_NE(log[4].substr(log[4].rfind(L' ')), L" 0");
        if (!c.logsExist) EXPECT_NE(log[6].substr(log[6].rfind(L' ')), L" 0");
        EXPECT_EQ(bench::FileExists(L"\\\\?\\" + folder), c.entryChars == 260) << c.entryChars;
        EXPECT_TRUE(bench::FileExists(top / L"Logs\\keep.log"));
        EXPECT_TRUE(session->Messages(INSTALLMESSAGE_ERROR).empty());
        DeleteFileW(entry.c_str());
    }
}

// Run as the system at commit, INSTALLDIR given twice, empty or not absolute
// is no folder: the error path follows and no Logs folder goes.
TEST(RemoveLogs, CommitTakesOneAbsoluteInstallationFolderOnly) {
    bench::TempDir top;
    bench::CreateFolders(top / L"Logs");
    bench::WriteFile(top / L"Logs\\keep.log", "x");
    const std::wstring folder = top.Path() + L"\\";
    for (const std::wstring& data : {L"INSTALLDIR|" + folder + L"|INSTALLDIR|" + folder, std::wstring(L"INSTALLDIR|"),
                                     std::wstring(L"INSTALLDIR|..\\"), std::wstring(L"INSTALLDIR|C:x")}) {
        SCOPED_TRACE(bench::Narrow(data));
        auto session = bench::Package().Property(L"CustomActionData", data).Open();
        const bench::ActionRun run = bench::ActionRun().Named("RemoveLogs").FromScript(harness::RunMode::Commit);
        EXPECT_EQ(run.Call(session->Handle()), 0u);
        const Lines log = session->Log();
        EXPECT_NE(std::find(log.begin(), log.end(), L"CustomActionData has no usable INSTALLDIR"), log.end());
        EXPECT_EQ(session->Messages(INSTALLMESSAGE_ERROR).size(), 1u);
        EXPECT_TRUE(bench::FileExists(top / L"Logs\\keep.log"));
    }
}

TEST(RemoveLogs, FailedTargetPathSendsOneErrorShowsTextEighteenTwiceAndEnablesCancel) {
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction("RemoveLogs", *session), 0u);

    const std::wstring message = L"The Log file removal routine reported the following error: "
                                 L"Could not locate ZephWin32 component \r\n\r\nAfter the uninstall is complete, please use "
                                 L"the Error Reporting Tool to report and resolve this problem";
    std::vector<std::pair<UINT, std::wstring>> seen;
    for (const auto& m : session->Messages())
        seen.emplace_back(m.type, m.kind() == INSTALLMESSAGE_INFO          ? m.logged.substr(26)
                                  : m.kind() == INSTALLMESSAGE_ACTIONSTART ? m.Text(2)
                                  : m.kind() == INSTALLMESSAGE_ERROR       ? m.Text(0)
                                                                           : L"");
    EXPECT_EQ(seen, (std::vector<std::pair<UINT, std::wstring>>{
                        {0x04000000, L"Entering RemoveLogs"}, {0x08000000, L"Removing log files"},
                        {0x04000000, L"MsiProcessMessage(ACTIONSTART) returned 0"},
                        {0x04000000, L"MsiGetTargetPath of INSTALLDIR returned 267"},
                        {0x08000000, L"Log file removal failed"}, {0x04000000, L"MsiProcessMessage(ACTIONSTART) returned 0"},
                        {0x01000000, message}, {0x08000000, L"Log file removal failed"},
                        {0x04000000, L"MsiProcessMessage(ACTIONSTART) returned 0"},
                        {0x04000000, L"Entering EnableCancel"}, {0x0B000000, L""},
                        {0x04000000, L"Exiting EnableCancel"}}));
    EXPECT_EQ(session->Messages(INSTALLMESSAGE_COMMONDATA)[0].fields[2].integer, 1);
}

TEST(NukeRegistrySettings, DeletesTheKeyUnderEveryLoadedHiveOneLineEach) {
    const std::wstring settings = L"\\Software\\Tenvor Systems, Inc.\\KORVI\\Tcp";
    std::vector<std::wstring> hives;
    wchar_t name[4096];
    for (DWORD i = 0, size = 4096; RegEnumKeyExW(HKEY_USERS, i, name, &size, nullptr, nullptr, nullptr, nullptr) ==
                                   ERROR_SUCCESS; ++i, size = 4096)
        hives.push_back(name);
    ASSERT_GE(hives.size(), 2u);
    // Every hive but the last holds the settings, with a value and a subkey.
    std::vector<std::unique_ptr<bench::RegistryKey>> keys;
    for (size_t i = 0; i + 1 < hives.size(); ++i) {
        keys.push_back(std::make_unique<bench::RegistryKey>(HKEY_USERS, hives[i] + settings + L"\\Window"));
        keys.back()->SetDword(L"Left", 10);
    }
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction("NukeRegistrySettings", *session), 0u);

    Lines expected = {L"Entering NukeRegistrySettings"};
    for (size_t i = 0; i < hives.size(); ++i)
        expected.push_back(L"Removing settings on " + hives[i] + settings + L" returned " +
                           (i + 1 < hives.size() ? L"0x0" : L"0x2"));
    expected.push_back(L"Leaving NukeRegistrySettings");
    EXPECT_EQ(session->Log(), expected);
    for (const auto& hive : hives) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_USERS, (hive + settings).c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    }
}

}  // namespace
