// A standard user's token under UAC, which Wine does not enforce: while a
// StandardUser lives, the library's calls that Windows refuses a filtered
// token fail with 5 (ERROR_ACCESS_DENIED), and a program that Windows starts
// only elevated fails to start with 740 (ERROR_ELEVATION_REQUIRED). The
// refusals lie in the library's import table, under the fault sweep's
// stand-ins (which then still see the library's own call sites).
//
//   bench::StandardUser user({L"WQInstaller.exe"});  run the action
#pragma once

#include <windows.h>

#include <set>
#include <string>

namespace bench {

class StandardUser {
public:
    // `elevating`: image names Windows starts only elevated (a manifest that
    // asks for administrators, or a setup program without one where installer
    // detection is on).
    explicit StandardUser(std::set<std::wstring> elevating = {});
    ~StandardUser();
    StandardUser(const StandardUser&) = delete;
    StandardUser& operator=(const StandardUser&) = delete;
};

// Points the imports the rules reach at the refusals; once per library.
void AnswerAsStandardUser(HMODULE library);

}  // namespace bench
