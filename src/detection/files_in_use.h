// The installer's files-in-use prompt and the cycle around it, as the
// detection actions run it.
#pragma once

#include <windows.h>
#include <msi.h>

#include <functional>
#include <optional>
#include <vector>

#include "detection/application.h"
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

// The answer lines of CheckRunningApps, which the click-to-call and the
// registered-application checks write too.
inline constexpr PromptTexts kCheckRunningAppsAnswers = PromptTexts()
    .Cancel(L"Exiting CheckRunningApps - user hit cancel")
    .Ignore(L"CheckRunningApps - user hit IGNORE")
    .Retry(L"CheckRunningApps - user hit RETRY")
    .Error(L"CheckRunningApps - Error creating MSI process");

// Applications found by their fixed lookups, in prompt order.
using KnownApplications = std::vector<const Application*>;

// Looks for each of `applications` in turn; those that run, in that order.
FilesInUseList RunningApplications(MSIHANDLE session, const KnownApplications& applications);

}  // namespace kci
