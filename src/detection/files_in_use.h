// The installer's files-in-use prompt and the cycle around it, as the
// detection actions run it.
#pragma once

#include <windows.h>
#include <msi.h>

#include <functional>
#include <optional>
#include <vector>

#include "detection/core/files_in_use_core.h"
#include "runtime/catalogue.h"

namespace kci {

// Sends one files-in-use message (Retry/Cancel) listing `running`, logs the
// answer as "Result = %d" and returns it. The record is closed on return.
int PromptFilesInUse(MSIHANDLE session, const FilesInUseList& running);

// Detects the running applications of one cycle; nothing means there was
// nothing to look at.
using Detection = std::function<std::optional<FilesInUseList>()>;

// Asked at the start of every try; a result ends the cycle with it.
using TryCheck = std::function<std::optional<unsigned>()>;

// Runs the files-in-use cycle against the installer and returns the action's
// result (0 or 1602).
UINT CheckFilesInUse(MSIHANDLE session, const PromptTexts& texts, const Detection& detect,
                     const TryCheck& beforeTry = nullptr);

// A program the package knows by name: how to find it and how the prompt
// shows it.
struct FixedLookup;
struct KnownApplication {
    const FixedLookup* lookup;
    const wchar_t* imageName;  // as the prompt record shows it
    TextId displayName;
};

using KnownApplications = std::vector<KnownApplication>;

// Looks for each of `applications` in turn; those that run, in that order.
FilesInUseList RunningApplications(MSIHANDLE session, const KnownApplications& applications);

}  // namespace kci
