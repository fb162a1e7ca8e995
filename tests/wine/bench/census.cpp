#include "bench/census.h"

#include <stdexcept>
#include <vector>

namespace bench {
namespace {

struct HandleEntry {
    USHORT processId;
    USHORT creatorBackTraceIndex;
    UCHAR objectType;
    UCHAR attributes;
    USHORT handle;
    PVOID object;
    ULONG grantedAccess;
};

struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// This process's entries of the system handle table.
std::vector<HandleEntry> OwnHandles() {
    static auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) throw std::runtime_error("no NtQuerySystemInformation");
    std::vector<BYTE> buffer(1 << 16);
    LONG status;
    ULONG needed = 0;
    while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           kInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status < 0) throw std::runtime_error("NtQuerySystemInformation failed");
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const USHORT self = static_cast<USHORT>(GetCurrentProcessId());  // the table's field is 16 bits wide
    std::vector<HandleEntry> own;
    for (ULONG i = 0; i < table->count; ++i)
        if (table->entries[i].processId == self) own.push_back(table->entries[i]);
    return own;
}

constexpr int kSlotProbes = 16;

// The type index the table gives registry keys, learnt by opening one.
unsigned RegistryKeyType() {
    static const unsigned type = [] {
        HKEY key = nullptr;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_READ, &key);
        unsigned found = 0;
        for (const auto& entry : OwnHandles())
            if (entry.handle == static_cast<USHORT>(reinterpret_cast<ULONG_PTR>(key))) found = entry.objectType;
        RegCloseKey(key);
        return found;
    }();
    return type;
}

}  // namespace

Census Census::Take() {
    const unsigned keyType = RegistryKeyType();
    Census census;
    for (const auto& entry : OwnHandles()) {
        ++census.handles;
        if (entry.objectType == keyType) ++census.registryKeys;
    }
    census.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    census.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    HBRUSH brushes[kSlotProbes];
    HMENU menus[kSlotProbes];
    for (int i = 0; i < kSlotProbes; ++i) {
        brushes[i] = CreateSolidBrush(RGB(1, 2, 3));
        menus[i] = CreateMenu();
        census.gdiSlots.insert(LOWORD(reinterpret_cast<ULONG_PTR>(brushes[i])));
        census.userSlots.insert(LOWORD(reinterpret_cast<ULONG_PTR>(menus[i])));
    }
    for (int i = kSlotProbes - 1; i >= 0; --i) {
        DeleteObject(brushes[i]);
        DestroyMenu(menus[i]);
    }
    return census;
}

std::wstring Census::Growth(const Census& after) const {
    std::wstring growth;
    auto note = [&growth](const std::wstring& what, long long more) {
        if (more > 0) growth += L" " + std::to_wstring(more) + L" more " + what + L";";
    };
    note(L"handles", after.handles - handles);
    note(L"registry keys", after.registryKeys - registryKeys);
    note(L"GDI objects", static_cast<long long>(after.gdiObjects) - gdiObjects);
    note(L"USER objects", static_cast<long long>(after.userObjects) - userObjects);
    if (after.gdiSlots != gdiSlots) growth += L" a GDI object slot stays taken;";
    if (after.userSlots != userSlots) growth += L" a USER object slot stays taken;";
    return growth;
}

std::wstring Census::LastingGrowth(bool ignoreUserSlots, bool ignoreGdiSlots) const {
    std::wstring growth;
    for (int look = 0; look < (ignoreUserSlots ? 5 : 13); ++look) {
        if (look > 0) Sleep(250);
        Census after = Take();
        if (ignoreUserSlots) after.userSlots = userSlots;
        if (ignoreGdiSlots) after.gdiSlots = gdiSlots;
        growth = Growth(after);
        if (growth.empty()) break;
    }
    return growth;
}

std::wstring RepeatedGrowth(const std::function<void()>& run, bool ignoreUserSlots, bool ignoreGdiSlots,
                            const std::function<void()>& prepare) {
    std::wstring growth;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (prepare) prepare();
        const Census before = Census::Take();
        run();
        growth = before.LastingGrowth(ignoreUserSlots, ignoreGdiSlots);
        if (growth.empty()) break;
    }
    return growth;
}

}  // namespace bench
