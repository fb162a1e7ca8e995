// The library's own records under HKEY_LOCAL_MACHINE "SOFTWARE\Tenvor
// Systems, Inc.\KORVI", in the registry's default view, as the library's
// other product keys: which products need each machine change that several
// of the maker's products share, and what such a change replaced. Each record
// names a product by its ProductCode, which deferred and rollback actions may
// read and commit actions may not.
//
// A failing call is logged as "<call> returned <result>" (LogFailedCall); the
// caller then goes on as it would without the records.
#pragma once

#include <windows.h>
#include <msi.h>

#include <optional>
#include <string>
#include <type_traits>

namespace kci {

inline constexpr wchar_t kMakerKeyPath[] = L"SOFTWARE\\Tenvor Systems, Inc.";
inline constexpr wchar_t kLibraryKeyPath[] = L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI";

// "<kLibraryKeyPath>\<name>".
std::wstring LibraryKeyPath(const wchar_t* name);

// The machine changes the products share: a subkey each of "...\KORVI\Shared",
// named by the action that makes the change, holding one REG_SZ value per
// product that needs it, named by its product code (the value holds the
// action that made the change). "<kLibraryKeyPath>\Shared\<change>".
std::wstring SharedChangePath(const wchar_t* change);

// The running product's code; nothing, logged, when ProductCode cannot be
// read or is not a product code.
std::optional<std::wstring> RunningProductCode(MSIHANDLE session);

// How many products an opened record key names: its REG_SZ values named by
// the code of a product the installer knows (MsiQueryProductState answers
// other than unknown: advertised or installed for another user counts too),
// nothing else. A product removed without its undo row needs nothing any
// more. Nothing, logged, when the key cannot be listed.
std::optional<int> CountProducts(MSIHANDLE session, HKEY key);

// Records that the running product needs `change`, which `action` has just
// made: "Product %s needs %s".
void AddSharedReference(MSIHANDLE session, const wchar_t* change, const wchar_t* action);

// Takes the running product out of `change`'s record: "Product %s no longer
// needs %s". True when the change is to be undone: no other product needs
// it, it was never recorded (made before the records), or a fault hides who
// does. Otherwise false, with "Still needed by %d other products: %s kept".
bool ReleaseSharedReference(MSIHANDLE session, const wchar_t* change);

enum class FirstKey { WithItsValues, OnlyWhileEmpty };

// Deletes the key at `path` below HKEY_LOCAL_MACHINE (with its values, or
// only while it holds none, as `first` says; never one that holds subkeys),
// then each parent up to and including "SOFTWARE\Tenvor Systems, Inc.",
// each only while it holds neither subkey nor value. A key that is not there
// is passed over.
void DeleteKeyAndEmptyParents(MSIHANDLE session, const std::wstring& path, FirstKey first);

// The undo of a shared change: once no other product needs `change`
// (ReleaseSharedReference), runs `undo`, and when that returns nothing or
// true, deletes the change's record and each parent left empty. `undo`
// deletes what it recorded; the record goes only while empty, so a fault that
// hid another product's reference never deletes that reference.
template <class Undo>
void UndoSharedChange(MSIHANDLE session, const wchar_t* change, Undo&& undo) {
    if (!ReleaseSharedReference(session, change)) return;
    if constexpr (std::is_void_v<std::invoke_result_t<Undo&>>) {
        undo();
    } else if (!undo()) {
        return;
    }
    DeleteKeyAndEmptyParents(session, SharedChangePath(change), FirstKey::OnlyWhileEmpty);
}

}  // namespace kci
