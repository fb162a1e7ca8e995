#include "profiles/core/removal_tables.h"

namespace kci {
namespace {

constexpr wchar_t kDesktopLine[] = L"Deleting desktop icon at %s";
constexpr wchar_t kStartupLine[] = L"Deleting startup icon at %s";
constexpr wchar_t kQuickLaunchLine[] = L"Deleting quick launch icon at %s";
constexpr wchar_t kMenuLine[] = L"Deleting startup menu at %s";

// The newer product's menu folder keeps everything but its old reporter entry.
constexpr RemovalRow kOldShortcutRows[] = {
    AllUsersFile(L"\\DeskTop\\Tenvor Pelago.lnk", kDesktopLine),
    AllUsersFile(L"\\Start Menu\\Programs\\Startup\\Tenvor Pelago.lnk", kStartupLine),
    EachProfileFile(L"\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch\\Tenvor Pelago.lnk", kQuickLaunchLine),
    EachProfileFile(L"\\Start Menu\\Programs\\Tenvor Pelago\\Tenvor Pelago.lnk", kMenuLine),
    EachProfileFile(L"\\Start Menu\\Programs\\Tenvor Pelago\\Tenvor Pelago Fault Reporter.lnk", kMenuLine),
    EachProfileFile(L"\\Start Menu\\Programs\\Tenvor Omni Meridia\\Tenvor Omni Fault Reporter.lnk", kMenuLine),
    EachProfileFile(L"\\Start Menu\\Programs\\Tenvor Pelago\\Owner Handbook.lnk", kMenuLine),
    EachProfileFile(L"\\Start Menu\\Programs\\Tenvor Pelago\\Remove Tenvor Pelago.lnk", kMenuLine),
    EachProfileFolder(L"\\Start Menu\\Programs\\Tenvor Pelago", kMenuLine),
};

constexpr RemovalRow kShortcutRows[] = {
    AllUsersFile(L"\\DeskTop\\Tenvor Omni Meridia.lnk", kDesktopLine),
    AllUsersFile(L"\\Start Menu\\Programs\\Startup\\Tenvor Omni Meridia.lnk", kStartupLine),
    EachProfileFile(L"\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch\\Tenvor Omni Meridia.lnk",
                    kQuickLaunchLine),
    EachProfileFile(L"\\Start Menu\\Programs\\Tenvor Omni Meridia\\Tenvor Omni Meridia.lnk", kMenuLine),
    EachProfileFile(L"\\Start Menu\\Programs\\Tenvor Omni Meridia\\Tenvor Omni Trouble Reporter.lnk", kMenuLine),
    EachProfileFile(L"\\Start Menu\\Programs\\Tenvor Omni Meridia\\Owner Handbook.lnk", kMenuLine),
    EachProfileFolder(L"\\Start Menu\\Programs\\Tenvor Omni Meridia", kMenuLine),
};

}  // namespace

const RemovalTable kOldShortcutRemovals{kOldShortcutRows, sizeof(kOldShortcutRows) / sizeof(kOldShortcutRows[0]),
                                        L"Tenvor Pelago.lnk"};
const RemovalTable kShortcutRemovals{kShortcutRows, sizeof(kShortcutRows) / sizeof(kShortcutRows[0]),
                                     L"Tenvor Omni Meridia.lnk"};

const ShellFolderRemoval kShellFolderRemovals[5] = {
    {ShellFolder::CommonDesktop, L"", kDesktopLine},
    {ShellFolder::UserDesktop, L"", kDesktopLine},
    {ShellFolder::CommonStartup, L"", kStartupLine},
    {ShellFolder::UserStartup, L"", kStartupLine},
    {ShellFolder::UserAppData, kQuickLaunchBelowAppData, kQuickLaunchLine},
};

}  // namespace kci
