// A scratch tree of user profiles in the older layout, with the platform's
// shell folders pointed into it for as long as it lives (the current layout
// leaves the common application-data folder at C:\ProgramData and puts the
// common desktop and Startup folders under <root>\Public instead):
//
//   <root>\All Users\Application Data     the common application-data folder
//   <root>\All Users\DeskTop              the common desktop
//   <root>\All Users\Start Menu\Programs\Startup
//   <root>\<profile>\Application Data\Microsoft\Internet Explorer\Quick Launch
//                                         for All Users, Alice and Bob
//   <root>\.hidden\...                    a dot-folder, laid out like a profile
//   <root>\notes.txt                      a plain file
//   <me>\Desktop, <me>\Startup, <me>\AppData\...\Quick Launch   the current user's
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "bench/components_bench.h"

namespace bench {

inline const std::wstring kQuickLaunch = L"\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch";

enum class Layout { Older, Current };

class ScratchProfiles {
public:
    explicit ScratchProfiles(Layout layout = Layout::Older);

    std::wstring Root() const { return dir_.Path() + L"\\profiles\\"; }  // ends in a backslash
    std::wstring AllUsers() const { return Root() + L"All Users"; }
    std::wstring CommonAppData() const { return AllUsers() + L"\\Application Data"; }
    std::wstring CommonDesktop() const { return Common() + L"\\DeskTop"; }
    std::wstring CommonStartup() const { return Common() + L"\\Start Menu\\Programs\\Startup"; }
    std::wstring Me() const { return dir_.Path() + L"\\me"; }
    std::wstring UserQuickLaunch() const { return Me() + L"\\AppData\\Microsoft\\Internet Explorer\\Quick Launch"; }
    // The profile directories in the order the file system lists them
    // (dot-folders, links and files left out), as the walk must visit them.
    std::vector<std::wstring> Profiles() const;

private:
    std::wstring Common() const { return layout_ == Layout::Older ? AllUsers() : Root() + L"Public"; }

    Layout layout_;
    TempDir dir_;
    // Each shell folder under both User Shell Folders and Shell Folders.
    std::vector<std::unique_ptr<RegistryValueOverride>> redirects_;
};

// A folder link made on the Unix side of the prefix (a symbolic link, which
// Wine shows as a folder with FILE_ATTRIBUTE_REPARSE_POINT), or a link to a
// file (shown as its target, without the mark), removed again as
// a link when the object goes; no Win32 call removes one without touching
// its target.
class FolderLink {
public:
    FolderLink(const std::wstring& link, const std::wstring& target);
    ~FolderLink();
    FolderLink(const FolderLink&) = delete;
    FolderLink& operator=(const FolderLink&) = delete;
    const std::wstring& Path() const { return link_; }

private:
    std::wstring link_;
};

// Swaps `folder` for a folder link to `target` when the action logs `line`
// (without its prefix): the folder is renamed aside to "<folder>.aside" from
// this side, as another program could, and the link planted in its place.
// The link goes with the object; a refused rename is kept, and plants none.
class SwapAtLine {
public:
    SwapAtLine(Session& session, std::wstring line, std::wstring folder, std::wstring target);
    ~SwapAtLine();
    SwapAtLine(const SwapAtLine&) = delete;
    SwapAtLine& operator=(const SwapAtLine&) = delete;
    bool Swapped() const { return link_ != nullptr; }
    DWORD RenameError() const { return renameError_; }

private:
    Session& session_;
    std::unique_ptr<FolderLink> link_;
    DWORD renameError_ = 0;
};

// Creates every missing folder of `path`.
void CreateFolders(const std::wstring& path);

}  // namespace bench
