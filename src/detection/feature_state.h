// The installed and action states of the last installer feature asked about.
#pragma once

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <optional>

#include "runtime/log.h"

namespace kci {

// Both states start at -1, once per pass over the features: a failing query
// reports whatever the one before left.
struct FeatureState {
    INSTALLSTATE installed = INSTALLSTATE_UNKNOWN;
    INSTALLSTATE action = INSTALLSTATE_UNKNOWN;

    UINT Query(MSIHANDLE session, const wchar_t* feature) {
        return MsiGetFeatureStateW(session, feature, &installed, &action);
    }
    // Queries a feature of an optional application and logs the states:
    // nothing when the query fails, else whether the feature is local.
    std::optional<bool> QueryLogged(MSIHANDLE session, const wchar_t* feature) {
        if (Query(session, feature) != ERROR_SUCCESS) {
            // Kept, "failed" twice: packages search for it (DetectOffice.FailedQueriesAreLoggedAndCountAsNotLocal).
            LogMessage(session, L"MsiGetFeatureStateW failed failed for %s. pInstalled=%d pAction=%d", feature,
                       Installed(), Action());
            return std::nullopt;
        }
        LogMessage(session, L"MsiGetFeatureStateW for %s. pInstalled=%d pAction=%d", feature, Installed(), Action());
        return IsLocal();
    }
    // Installed locally now, or being installed locally: during removal the
    // files are still in use.
    bool IsLocal() const { return installed == INSTALLSTATE_LOCAL || action == INSTALLSTATE_LOCAL; }
    int Installed() const { return installed; }
    int Action() const { return action; }
};

}  // namespace kci
