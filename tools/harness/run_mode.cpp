#include "harness/run_mode.h"

#include <msi.h>
#include <msiquery.h>

#include <set>

#include "harness/pe_image.h"

namespace harness {
namespace {

using GetMode = BOOL(WINAPI*)(MSIHANDLE, MSIRUNMODE);

GetMode realGetMode = nullptr;
RunMode answered = RunMode::Immediate;

BOOL WINAPI AnsweredGetMode(MSIHANDLE session, MSIRUNMODE mode) {
    if (answered != RunMode::Immediate) {
        if (mode == MSIRUNMODE_SCHEDULED) return TRUE;
        if (mode == MSIRUNMODE_ROLLBACK) return answered == RunMode::Rollback;
        if (mode == MSIRUNMODE_COMMIT) return answered == RunMode::Commit;
    }
    return realGetMode(session, mode);
}

}  // namespace

void AnswerRunMode(HMODULE library) {
    static std::set<HMODULE> answering;
    if (!answering.insert(library).second) return;
    ForEachImport(library, [](const std::string&, const std::string& name, void** entry) {
        if (name == "MsiGetMode")
            realGetMode = reinterpret_cast<GetMode>(ReplaceImport(entry, reinterpret_cast<void*>(&AnsweredGetMode)));
    });
}

void SetRunMode(RunMode mode) { answered = mode; }

}  // namespace harness
