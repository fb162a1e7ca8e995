// An application that the detection actions look for and, when it runs, name
// in the files-in-use prompt.
#pragma once

#include "runtime/core/named_fields.h"
#include "runtime/core/text_ids.h"

namespace kci {

// One row, built by named field, as in
//   Application().Image(L"OUTLOOK.EXE").Shown(kTextOutlook).Entry(L"Entering FindOutlook")
struct Application {
    const wchar_t* imageName = nullptr;   // the executable looked for, case ignored
    const wchar_t* recordName = nullptr;  // how the prompt record writes it, where that differs
    TextId displayName{};                 // the catalogue text shown beside it
    const wchar_t* entryLine = nullptr;   // a process-list lookup's first log line
    const wchar_t* feature = nullptr;     // the installer feature whose add-in it hosts
    // The older product may run under another executable name; its main
    // window title "Meridia" also counts as running.
    bool windowFallback = false;

    constexpr Application Image(const wchar_t* name) const { return WithField(*this, &Application::imageName, name); }
    constexpr Application RecordedAs(const wchar_t* name) const {
        return WithField(*this, &Application::recordName, name);
    }
    constexpr Application Shown(TextId text) const { return WithField(*this, &Application::displayName, text); }
    constexpr Application Entry(const wchar_t* line) const { return WithField(*this, &Application::entryLine, line); }
    constexpr Application Feature(const wchar_t* name) const { return WithField(*this, &Application::feature, name); }
    constexpr Application OrWindow() const { return WithField(*this, &Application::windowFallback, true); }

    const wchar_t* RecordName() const { return recordName ? recordName : imageName; }
};

}  // namespace kci
