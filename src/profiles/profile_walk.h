// What the shortcut and removal actions share: the walk over every user
// profile and the removal sweep over a table of shortcut paths.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>

#include "profiles/core/removal_tables.h"

namespace kci {

// A step run on one profile directory: a reference to a callable that
// outlives the walk, or none.
class ProfileStep {
public:
    ProfileStep() = default;
    template <class Step>
    ProfileStep(const Step& step)  // NOLINT: implicit, like a function pointer
        : step_(&step), call_([](const void* s, const std::wstring& dir) { (*static_cast<const Step*>(s))(dir); }) {}
    explicit operator bool() const { return step_ != nullptr; }
    void operator()(const std::wstring& profileDirectory) const { call_(step_, profileDirectory); }

private:
    const void* step_ = nullptr;
    void (*call_)(const void*, const std::wstring&) = nullptr;
};

// Finds the profiles from the common application-data folder of the older
// layout ("<root>\<all users>\<folder>"): logs `openingFormat` with the folder
// and the lookup's result, runs `allUsersStep` (if any) on the all-users
// profile, then `profileStep` on every directory of the root that is no link
// and whose name does not begin with ".". A failed lookup ends the walk after
// the opening line. A folder with no profiles root above it (the platform's
// own "C:\ProgramData", or one just below a drive root) visits neither the
// all-users profile nor any other.
void WalkUserProfiles(MSIHANDLE session, const wchar_t* openingFormat, const ProfileStep& allUsersStep,
                      const ProfileStep& profileStep);

// What a removal sweep takes: everything; what only the system may change
// (the rows of every profile and the common shell folders); or the installing
// user's own shell folders alone.
enum class SweepScope { Everything, AllUsers, OwnFolders };

// Removes every row of `table` from the all-users profile or from each
// profile, then the table's shortcut from each shell folder, logging each
// attempt, its result and the system's error text, as far as `scope` reaches.
// A path already tried in the run is not tried again; one that passes a link
// is not tried at all, and one whose final path turns out to be another is
// not deleted. With SweepProgress::EachProfile, each profile directory is
// shown as the action's data before its rows.
enum class SweepProgress { Unshown, EachProfile };
void RunRemovalSweep(MSIHANDLE session, const RemovalTable& table, SweepScope scope = SweepScope::Everything,
                     SweepProgress progress = SweepProgress::Unshown);

// The CSIDL the platform knows `folder` by.
int Csidl(ShellFolder folder);

// True when a folder on the way from `base` to `base + below` (see
// FoldersOnTheWay) is a link (a junction, or a symbolic link to a folder):
// its attributes carry FILE_ATTRIBUTE_REPARSE_POINT.
bool PassesLink(const std::wstring& base, const std::wstring& below, bool includeTarget);

}  // namespace kci
