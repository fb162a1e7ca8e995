#include "runtime/property.h"

#include <msiquery.h>

#include <vector>

namespace kci {

PropertyRead ReadProperty(MSIHANDLE session, const wchar_t* name, DWORD bufferChars) {
    std::vector<wchar_t> buffer(bufferChars + 1, L'\0');  // one more, so the text always ends in the buffer
    DWORD count = bufferChars;
    PropertyRead read;
    read.result = MsiGetPropertyW(session, name, buffer.data(), &count);
    read.value = buffer.data();
    read.length = count;
    return read;
}

}  // namespace kci
