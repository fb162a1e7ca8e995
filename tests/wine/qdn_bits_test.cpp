// CheckQDNDriverOpen against adapter lists the tests write, and InstallBits
// with the BITS registration and its setup program arranged per test.
#include <windows.h>
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "bench/components_bench.h"
#include "bench/profiles_bench.h"

using bench::Lines;

namespace {

const std::wstring kAdapterList = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
const std::wstring kControl = L"\\\\.\\ZephQdnPacket";
const REGSAM kView64 = KEY_WOW64_64KEY;

struct Adapter {
    std::wstring subkey;
    std::optional<std::wstring> service;
};
using Adapters = std::optional<std::vector<Adapter>>;

// The machine's adapter list replaced for one test, or removed (no adapters).
// A 32-bit process reads the list through a link to the 64-bit key, so the
// 64-bit key is what is written. Wine rebuilds that key as volatile data
// whenever its server starts; its adapters' service names are put back.
class AdapterList {
public:
    explicit AdapterList(const Adapters& adapters) {
        HKEY list = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAdapterList.c_str(), 0, KEY_READ | kView64, &list) == ERROR_SUCCESS) {
            saved_.emplace();
            wchar_t name[256], service[256];
            for (DWORD i = 0, n = 256, bytes = sizeof(service);
                 RegEnumKeyExW(list, i, name, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
                 ++i, n = 256, bytes = sizeof(service)) {
                const bool read = RegGetValueW(list, name, L"ServiceName", RRF_RT_REG_SZ, nullptr, service, &bytes) ==
                                  ERROR_SUCCESS;
                saved_->push_back({name, read ? std::optional<std::wstring>(service) : std::nullopt});
            }
            RegCloseKey(list);
        }
        Replace(adapters);
    }
    ~AdapterList() { Replace(saved_); }

private:
    static void Replace(const Adapters& adapters) {
        HKEY list = nullptr;
        const REGSAM all = KEY_ALL_ACCESS | kView64;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAdapterList.c_str(), 0, all, &list) == ERROR_SUCCESS) {
            wchar_t name[256];
            for (DWORD n = 256; RegEnumKeyExW(list, 0, name, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
                 n = 256)
                if (RegDeleteKeyExW(list, name, kView64, 0) != ERROR_SUCCESS) break;
            RegCloseKey(list);
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kAdapterList.c_str(), kView64, 0);
        }
        if (!adapters) return;
        const auto create = [all](HKEY parent, const std::wstring& path, HKEY* key) {
            return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, all, nullptr, key, nullptr);
        };
        if (create(HKEY_LOCAL_MACHINE, kAdapterList, &list) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create the adapter list");
        for (const Adapter& adapter : *adapters) {
            HKEY key = nullptr;
            create(list, adapter.subkey, &key);
            if (adapter.service)
                RegSetValueExW(key, L"ServiceName", 0, REG_SZ, reinterpret_cast<const BYTE*>(adapter.service->c_str()),
                               static_cast<DWORD>((adapter.service->size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
        RegCloseKey(list);
    }

    Adapters saved_;
};

// Wine looks a device name up as an entry of the prefix's dosdevices folder;
// a folder there answers an open for reading and writing with access denied,
// as a device held by another program does on Windows.
class HeldDevice {
public:
    explicit HeldDevice(const std::wstring& name) {
        const auto proc = [](const char* name) { return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name); };
        auto unixName = reinterpret_cast<char*(CDECL*)(const wchar_t*)>(proc("wine_get_unix_file_name"));
        auto dosName = reinterpret_cast<wchar_t*(CDECL*)(const char*)>(proc("wine_get_dos_file_name"));
        char* driveC = unixName && dosName ? unixName(L"C:\\") : nullptr;  // <prefix>/dosdevices/c:/
        if (!driveC) return;
        std::string folder = driveC;
        HeapFree(GetProcessHeap(), 0, driveC);
        const size_t cut = folder.rfind("/c:");
        if (cut == std::string::npos) return;
        folder = folder.substr(0, cut + 1) + bench::Narrow(name);
        for (char& c : folder) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        wchar_t* dos = dosName(folder.c_str());
        if (!dos) return;
        path_ = dos;
        HeapFree(GetProcessHeap(), 0, dos);
        if (!CreateDirectoryW(path_.c_str(), nullptr)) path_.clear();
    }
    ~HeldDevice() {
        if (!path_.empty()) RemoveDirectoryW(path_.c_str());
    }
    bool Ready() const { return !path_.empty(); }

private:
    std::wstring path_;
};

Lines Checked(const std::wstring& device, const std::wstring& error, const std::wstring& last) {
    return {L"Checking (" + device + L")", L"-->Failed to open device (" + device + L")",
            L"-->GetLastError( ) = " + error, last};
}

Lines Missing(const std::wstring& device) {
    return Checked(device, L"0x00000002", L"-->Error should be recoverable, continuing");
}

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The control device first, then one per adapter; an adapter that cannot be
// read, or no list at all, marks the driver in use without trying any device.
TEST(CheckQdnDriverOpen, TriesTheControlDeviceThenOnePerAdapter) {
    HeldDevice held(L"ZephQdnPacket_KciHeld");
    const std::wstring heldName = kControl + L"_KciHeld", leaving = L"Leaving CheckQDNDriverOpen";
    const Lines start = {L"Entering CheckQDNDriverOpen", L"MsiProcessMessage(ACTIONSTART) returned 0"};
    struct Case { const char* name; Adapters adapters; Lines lines; const wchar_t* inUse; bool held = false; };
    const Case cases[] = {
        {"two adapters, all missing", std::vector<Adapter>{{L"1", L"{4D36E972-KCI1}"}, {L"2", L"KciSecond"}},
         Concat({start, Missing(kControl), Missing(kControl + L"_{4D36E972-KCI1}"), Missing(kControl + L"_KciSecond"),
                 {leaving}}),
         L"false"},
        {"adapter without ServiceName", std::vector<Adapter>{{L"1", L"KciFirst"}, {L"2", std::nullopt}},
         Concat({start, {L"Error returned from RegQueryValueEx, forcing reboot"}}), L"true"},
        // Service names are read with room for 511 characters and the terminator;
        // a device name that long is refused as invalid (0x7b).
        {"service name of 511 characters", std::vector<Adapter>{{L"1", std::wstring(511, L'k')}},
         Concat({start, Missing(kControl),
                 Checked(kControl + L"_" + std::wstring(511, L'k'), L"0x0000007b",
                         L"-->Error should be recoverable, continuing"),
                 {leaving}}),
         L"false"},
        {"service name of 512 characters", std::vector<Adapter>{{L"1", std::wstring(512, L'k')}},
         Concat({start, {L"Error returned from RegQueryValueEx, forcing reboot"}}), L"true"},
        {"no adapter list", std::nullopt,
         Concat({start, {L"Failed to enumerate network devices, forcing reboot..."}}), L"true"},
        // Last, as it is skipped where no device can answer access denied.
        {"a device answers access denied", std::vector<Adapter>{{L"1", L"KciHeld"}, {L"2", L"KciAfter"}},
         Concat({start, Missing(kControl),
                 Checked(heldName, L"0x00000005",
                         L"-->Device (" + heldName + L") in use, forcing reboot before QDN driver install"),
                 Missing(kControl + L"_KciAfter"), {leaving}}),
         L"true", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.held && !held.Ready())
            GTEST_SKIP() << "no Wine dosdevices folder to place a device that answers access denied";
        AdapterList list(c.adapters);
        auto session = bench::Package().Property(L"QDN_IN_USE", L"false").Open();
        EXPECT_EQ(bench::CallAction("CheckQDNDriverOpen", *session), 0u);
        EXPECT_EQ(session->Log(), c.lines);
        EXPECT_EQ(session->Property(L"QDN_IN_USE"), c.inUse);
        auto starts = session->Messages(INSTALLMESSAGE_ACTIONSTART);
        ASSERT_EQ(starts.size(), 1u);
        EXPECT_EQ(starts[0].Text(2), L"Checking if QDN driver open...");
    }
}

// ---------------------------------------------------------------- InstallBits

const std::wstring kSetup = L"Bits_v15_Client_Setup.exe";

std::unique_ptr<bench::Session> BitsSession(const std::wstring& autoUpdate) {
    auto session = bench::Package().Property(L"AUTOUPDATE", autoUpdate).Open();
    return session;
}

// The setup program is deleted through its handle: a link in its place to a
// file outside stays, and so does that file.
TEST(InstallBits, RegisteredBitsDeletesTheSetupWithoutRunningIt) {
    bench::RegistryValueOverride appId(HKEY_CLASSES_ROOT, L"AppId\\BITS", L"AppID", L"{KCI-BITS-APPID}");
    for (bool link : {false, true}) {
        bench::TempDir dir, outside;
        std::optional<bench::StandIn> setup;
        std::optional<bench::FolderLink> planted;
        bench::WriteFile(outside / L"precious.dll", "precious");
        if (link) planted.emplace(dir / kSetup, outside / L"precious.dll");
        else setup.emplace(dir.Path(), kSetup);
        auto session = BitsSession(dir.Path() + L"\\");
        EXPECT_EQ(bench::CallAction("InstallBits", *session), 0u);
        Lines log{L"Entering InstallBits", L"RegQueryValueEx returned a string: {KCI-BITS-APPID}", L"Not installing BITS",
                  L"Delete of BITS install exe returned " + std::wstring(link ? L"-1" : L"0")};
        if (link) log.insert(log.end() - 1, L"Link on the way, not deleted: " + dir / kSetup);
        EXPECT_EQ(session->Log(), log);
        EXPECT_EQ(bench::FileExists(dir / kSetup), link);
        EXPECT_EQ(bench::ReadFile(outside / L"precious.dll"), "precious");
        if (setup) EXPECT_TRUE(setup->CommandLines().empty());
    }
}

// With "AppID" not a string, BITS counts as absent and the setup is run; a
// setup that cannot start is reported once and deleted all the same.
TEST(InstallBits, UnregisteredBitsRunsTheSetupThenDeletesIt) {
    bench::RegistryValueOverride appId(HKEY_CLASSES_ROOT, L"AppId\\BITS", L"AppID", REG_DWORD, {1, 0, 0, 0});
    enum class Setup { Runs, CannotStart };
    struct Case { const char* name; Setup setup; std::wstring outcome; int deleted; };
    const Case cases[] = {
        {"setup runs", Setup::Runs, L"Process returned 0x7", 0},
        {"setup is no program", Setup::CannotStart, L"CreateProcess failed with error: 0xc1", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bench::TempDir dir;
        std::optional<bench::StandIn> program;
        if (c.setup == Setup::Runs) program.emplace(dir.Path(), kSetup).SetExitCode(7);
        if (c.setup == Setup::CannotStart) bench::WriteFile(dir / kSetup, "not a program");
        const std::wstring folder = dir.Path(), path = folder + L"\\" + kSetup;
        auto session = BitsSession(folder);
        EXPECT_EQ(bench::CallAction("InstallBits", *session), 0u);
        EXPECT_EQ(session->Log(), (Lines{L"Entering InstallBits", L"Going to try executing \"" + path + L"\"",
                                         c.outcome,
                                         L"Delete of BITS install exe returned " + std::to_wstring(c.deleted),
                                         L"Exiting InstallBits"}));
        if (program) EXPECT_EQ(program->CommandLines(), Lines{L"\"" + path + L"\""});
        if (program) EXPECT_TRUE(session->Messages(INSTALLMESSAGE_ERROR).empty());
        else bench::ExpectOneReport(*session, bench::ComponentReport({L"Error installing Microsoft BITS\n"}));
        EXPECT_FALSE(bench::FileExists(path));
    }
}

// AUTOUPDATE is read into 260 characters, terminator included.
TEST(InstallBits, AutoUpdateOfTwoHundredSixtyCharactersOrMoreFails) {
    for (size_t length : {259u, 260u, 261u}) {
        SCOPED_TRACE(length);
        const bool fits = length < 260;
        bench::TempDir dir;
        bench::StandIn setup(dir.Path(), kSetup);
        std::wstring folder = dir.Path() + L"\\";
        folder.resize(length, L'\\');  // repeated separators still name the same folder
        auto session = BitsSession(folder);
        EXPECT_EQ(bench::CallAction("InstallBits", *session), fits ? 0u : 1603u);
        EXPECT_EQ(bench::FileExists(setup.Path()), !fits) << "the setup is deleted once the whole folder is read";
        if (fits) continue;
        EXPECT_EQ(session->Log(), (Lines{L"Entering InstallBits", L"Can't access AUTOUPDATE"}));
        EXPECT_TRUE(setup.CommandLines().empty());
    }
}

// A folder that is empty or not absolute would put the setup below the
// current drive and folder, the drive's root for an empty one: a setup
// planted there is neither run nor deleted.
TEST(InstallBits, AutoUpdateNotAbsoluteFailsAndLeavesTheDriveRootAlone) {
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(L"C:\\");
    bench::StandIn planted(L"C:", kSetup);
    for (const wchar_t* folder : {L"", L"C:", L"\\", L"Update\\"}) {
        SCOPED_TRACE(bench::Narrow(folder));
        auto session = BitsSession(folder);
        EXPECT_EQ(bench::CallAction("InstallBits", *session), 1603u);
        EXPECT_EQ(session->Log(), (Lines{L"Entering InstallBits", L"Can't access AUTOUPDATE"}));
    }
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(planted.CommandLines().empty());
    EXPECT_TRUE(bench::FileExists(planted.Path()));
    DeleteFileW(planted.Path().c_str());
}

}  // namespace
