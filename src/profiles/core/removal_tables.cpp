#include "profiles/core/removal_tables.h"

namespace kci {
namespace {

constexpr wchar_t kDesktopLine[] = L"Deleting desktop icon at %s";
constexpr wchar_t kStartupLine[] = L"Deleting startup icon at %s";
constexpr wchar_t kQuickLaunchLine[] = L"Deleting quick launch icon at %s";
constexpr wchar_t kMenuLine[] = L"Deleting startup menu at %s";

// The newer product's menu folder keeps everything but its old reporter entry.
constexpr RemovalRow kOldShortcutRows[] = {
    RemovalRow().InAllUsers().File(L"\\DeskTop\\Tenvor Pelago.lnk").Logging(kDesktopLine),
    RemovalRow().InAllUsers().File(L"\\Start Menu\\Programs\\Startup\\Tenvor Pelago.lnk").Logging(kStartupLine),
    RemovalRow()
        .InEachProfile()
        .File(L"\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch\\Tenvor Pelago.lnk")
        .Logging(kQuickLaunchLine),
    RemovalRow().InEachProfile().File(L"\\Start Menu\\Programs\\Tenvor Pelago\\Tenvor Pelago.lnk").Logging(kMenuLine),
    RemovalRow()
        .InEachProfile()
        .File(L"\\Start Menu\\Programs\\Tenvor Pelago\\Tenvor Pelago Fault Reporter.lnk")
        .Logging(kMenuLine),
    RemovalRow()
        .InEachProfile()
        .File(L"\\Start Menu\\Programs\\Tenvor Omni Meridia\\Tenvor Omni Fault Reporter.lnk")
        .Logging(kMenuLine),
    RemovalRow().InEachProfile().File(L"\\Start Menu\\Programs\\Tenvor Pelago\\Owner Handbook.lnk").Logging(kMenuLine),
    RemovalRow()
        .InEachProfile()
        .File(L"\\Start Menu\\Programs\\Tenvor Pelago\\Remove Tenvor Pelago.lnk")
        .Logging(kMenuLine),
    RemovalRow().InEachProfile().Folder(L"\\Start Menu\\Programs\\Tenvor Pelago").Logging(kMenuLine),
};

constexpr RemovalRow kShortcutRows[] = {
    RemovalRow().InAllUsers().File(L"\\DeskTop\\Tenvor Omni Meridia.lnk").Logging(kDesktopLine),
    RemovalRow().InAllUsers().File(L"\\Start Menu\\Programs\\Startup\\Tenvor Omni Meridia.lnk").Logging(kStartupLine),
    RemovalRow()
        .InEachProfile()
        .File(L"\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch\\Tenvor Omni Meridia.lnk")
        .Logging(kQuickLaunchLine),
    RemovalRow()
        .InEachProfile()
        .File(L"\\Start Menu\\Programs\\Tenvor Omni Meridia\\Tenvor Omni Meridia.lnk")
        .Logging(kMenuLine),
    RemovalRow()
        .InEachProfile()
        .File(L"\\Start Menu\\Programs\\Tenvor Omni Meridia\\Tenvor Omni Trouble Reporter.lnk")
        .Logging(kMenuLine),
    RemovalRow()
        .InEachProfile()
        .File(L"\\Start Menu\\Programs\\Tenvor Omni Meridia\\Owner Handbook.lnk")
        .Logging(kMenuLine),
    RemovalRow().InEachProfile().Folder(L"\\Start Menu\\Programs\\Tenvor Omni Meridia").Logging(kMenuLine),
};

}  // namespace

const RemovalTable kOldShortcutRemovals{kOldShortcutRows, sizeof(kOldShortcutRows) / sizeof(kOldShortcutRows[0]),
                                        L"Tenvor Pelago.lnk"};
const RemovalTable kShortcutRemovals{kShortcutRows, sizeof(kShortcutRows) / sizeof(kShortcutRows[0]),
                                     L"Tenvor Omni Meridia.lnk"};

const ShellFolderRemoval kShellFolderRemovals[5] = {
    ShellFolderRemoval().In(ShellFolder::CommonDesktop).Logging(kDesktopLine),
    ShellFolderRemoval().In(ShellFolder::UserDesktop).Logging(kDesktopLine),
    ShellFolderRemoval().In(ShellFolder::CommonStartup).Logging(kStartupLine),
    ShellFolderRemoval().In(ShellFolder::UserStartup).Logging(kStartupLine),
    ShellFolderRemoval().In(ShellFolder::UserAppData).Below(kQuickLaunchBelowAppData).Logging(kQuickLaunchLine),
};

}  // namespace kci
