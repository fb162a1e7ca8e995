#include "runtime/known_folder.h"

#include <shlobj.h>

namespace kci {

KnownFolder GetKnownFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    const HRESULT result = SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    path[MAX_PATH - 1] = L'\0';
    return {result, path};
}

}  // namespace kci
