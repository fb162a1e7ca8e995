// The database a test needs, written on the fly: opened as a session, or
// installed for real.
//
//   auto session = harness::Package().Property(L"ProductLanguage", L"1031").Open();
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "harness/session.h"

namespace harness {

// Declares the database a test needs. Property, Directory, Feature, Component
// and FeatureComponents tables always exist; the rows are the test's.
class Package {
public:
    Package();
    Package& Property(const std::wstring& name, const std::wstring& value);
    // A directory row; `parent` empty for a root (TARGETDIR's DefaultDir "SourceDir").
    Package& Directory(const std::wstring& id, const std::wstring& parent, const std::wstring& defaultDir);
    // A feature with one component of its own, so its state can be set after costing.
    Package& Feature(const std::wstring& name, int level = 1);
    std::unique_ptr<Session> Open() const;
    // The database file, with an execution sequence when it is to be installed.
    std::wstring Write(bool installable) const;

private:
    struct Row { std::wstring table; std::vector<std::wstring> values; };
    std::vector<Row> rows_;
    int components_ = 0;
};

// The package installed for real (product, features and components
// registered, no files), so that sessions opened afterwards on a package with
// the same product code see installed states; removed again when it goes.
class InstalledPackage {
public:
    explicit InstalledPackage(const Package& package);
    ~InstalledPackage();
    InstalledPackage(const InstalledPackage&) = delete;
    InstalledPackage& operator=(const InstalledPackage&) = delete;
    UINT Result() const { return result_; }

private:
    std::wstring path_;
    UINT result_ = ERROR_INSTALL_FAILURE;
};

}  // namespace harness
