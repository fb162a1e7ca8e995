#include "profiles/core/removal_tables.h"

namespace kci {
namespace {

constexpr wchar_t kDesktopLine[] = L"Deleting desktop icon at %s";
constexpr wchar_t kStartupLine[] = L"Deleting startup icon at %s";
constexpr wchar_t kQuickLaunchLine[] = L"Deleting quick launch icon at %s";
constexpr wchar_t kMenuLine[] = L"Deleting startup menu at %s";

constexpr auto kAllUsers = ProfileScope::AllUsers;
constexpr auto kEach = ProfileScope::EachProfile;
constexpr auto kFile = RemovalKind::File;

// The newer product's menu folder keeps everything but its old reporter entry.
constexpr RemovalRow kOldShortcutRows[] = {
    {kAllUsers, L"\\DeskTop\\Tenvor Pelago.lnk", kDesktopLine, kFile},
    {kAllUsers, L"\\Start Menu\\Programs\\Startup\\Tenvor Pelago.lnk", kStartupLine, kFile},
    {kEach, L"\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch\\Tenvor Pelago.lnk", kQuickLaunchLine, kFile},
    {kEach, L"\\Start Menu\\Programs\\Tenvor Pelago\\Tenvor Pelago.lnk", kMenuLine, kFile},
    {kEach, L"\\Start Menu\\Programs\\Tenvor Pelago\\Tenvor Pelago Fault Reporter.lnk", kMenuLine, kFile},
    {kEach, L"\\Start Menu\\Programs\\Tenvor Omni Meridia\\Tenvor Omni Fault Reporter.lnk", kMenuLine, kFile},
    {kEach, L"\\Start Menu\\Programs\\Tenvor Pelago\\Owner Handbook.lnk", kMenuLine, kFile},
    {kEach, L"\\Start Menu\\Programs\\Tenvor Pelago\\Remove Tenvor Pelago.lnk", kMenuLine, kFile},
    {kEach, L"\\Start Menu\\Programs\\Tenvor Pelago", kMenuLine, RemovalKind::Directory},
};

// The per-user desktop and Startup folders are not swept: a copy made there
// for one user stays.
constexpr RemovalRow kShortcutRows[] = {
    {kAllUsers, L"\\DeskTop\\Tenvor Omni Meridia.lnk", kDesktopLine, kFile},
    {kAllUsers, L"\\Start Menu\\Programs\\Startup\\Tenvor Omni Meridia.lnk", kStartupLine, kFile},
    {kEach, L"\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch\\Tenvor Omni Meridia.lnk", kQuickLaunchLine, kFile},
    {kEach, L"\\Start Menu\\Programs\\Tenvor Omni Meridia\\Tenvor Omni Meridia.lnk", kMenuLine, kFile},
    {kEach, L"\\Start Menu\\Programs\\Tenvor Omni Meridia\\Tenvor Omni Trouble Reporter.lnk", kMenuLine, kFile},
    {kEach, L"\\Start Menu\\Programs\\Tenvor Omni Meridia\\Owner Handbook.lnk", kMenuLine, kFile},
    {kEach, L"\\Start Menu\\Programs\\Tenvor Omni Meridia", kMenuLine, RemovalKind::Directory},
};

}  // namespace

const RemovalTable kOldShortcutRemovals{kOldShortcutRows, sizeof(kOldShortcutRows) / sizeof(kOldShortcutRows[0])};
const RemovalTable kShortcutRemovals{kShortcutRows, sizeof(kShortcutRows) / sizeof(kShortcutRows[0])};

}  // namespace kci
