#include "runtime/known_folder.h"

#include <shlobj.h>

#include "runtime/core/text_limits.h"

namespace kci {

KnownFolder GetKnownFolder(int csidl) {
    wchar_t path[kPathChars + 1] = {};
    const HRESULT result = SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    path[kPathChars] = L'\0';
    return {result, path};
}

}  // namespace kci
