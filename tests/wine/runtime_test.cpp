// The action frame, the installer log and the catalogue, in a real session.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>

#include "bench/bench.h"
#include "runtime/action_frame.h"
#include "runtime/catalogue.h"
#include "runtime/core/errors.h"
#include "runtime/handles.h"
#include "runtime/library.h"
#include "runtime/log.h"

using bench::Lines;

namespace {

const std::wstring kPrefix = L"CUSTOM IMMEDIATE ACTION   ";

// Whatever escapes an action's body becomes one log line and 1603, and the
// session goes on working.
TEST(ActionFrame, AnyExceptionIsOneLineAnd1603) {
    struct Case { std::function<UINT()> body; std::wstring what; };
    const Case cases[] = {
        {[]() -> UINT { throw std::bad_alloc(); }, L"std::bad_alloc"},
        {[]() -> UINT { throw std::runtime_error("disk on fire"); }, L"disk on fire"},
        {[]() -> UINT { throw 42; }, L"unknown exception"},
        {[]() -> UINT { throw kci::ErrorList{L"first", L"second"}; }, L"first"},
    };
    auto session = bench::Package().Open();
    for (const Case& c : cases) {
        session->ClearRecords();
        EXPECT_EQ(kci::RunAction(session->Handle(), L"Probe", kci::ModuleContext::Open, c.body), 1603u);
        EXPECT_EQ(session->Log(), Lines{L"Unexpected failure in Probe: " + c.what});
        session->ClearRecords();
        EXPECT_EQ(bench::CallAction("DisableCancel", *session), 0u);
        EXPECT_EQ(session->Log(), (Lines{L"Entering DisableCancel", L"Exiting DisableCancel"}));
    }
}

// The runtime stand-ins that ship, under the frame, in a DLL built as the
// shipping one is: a container's length error is one failure line and 1603.
TEST(RuntimeStandIns, LengthErrorIsTheFramesFailureLine) {
    HMODULE probe = LoadLibraryW((bench::BuildFolder() + L"\\kci_runtime_probe.dll").c_str());
    ASSERT_NE(probe, nullptr);
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction(probe, "ThrowLengthError", session->Handle()), 1603u);
    EXPECT_EQ(session->Log(), Lines{L"Unexpected failure in ThrowLengthError: vector::reserve"});
    FreeLibrary(probe);
}

// Nine threads throw and catch at once in a freshly loaded probe, their first
// throws racing to set up the thread-locals (once, lazily made mutexes, a
// key). The calling thread ends only after the probe is unloaded: its
// thread-locals' destructor must no longer be called into the gone DLL.
TEST(RuntimeStandIns, ThreadsThrowAtOnce) {
    HMODULE probe = LoadLibraryW((bench::BuildFolder() + L"\\kci_runtime_probe.dll").c_str());
    ASSERT_NE(probe, nullptr);
    auto session = bench::Package().Open();
    kci::ScopedHandle acted(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    kci::ScopedHandle unloaded(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UINT result = 1;
    std::thread caller([&] {
        result = bench::CallAction(probe, "ThrowOnThreads", session->Handle());
        SetEvent(acted.Get());
        WaitForSingleObject(unloaded.Get(), INFINITE);
    });
    WaitForSingleObject(acted.Get(), INFINITE);
    EXPECT_TRUE(FreeLibrary(probe));
    SetEvent(unloaded.Get());
    caller.join();
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(session->Log(), Lines{L"Caught 1800 of 1800"});
}

// A ProductCode is read into room for 38 characters, the recorded action's
// name into room for 259: one more fails the read, one fewer is no product.
TEST(RequestRecordedReboot, ReadsAProductCodeOf38AndAnActionNameOf259Characters) {
    const std::wstring code = L"{4C1B7E2A-9D3F-4E85-B6A0-7F2C9D1E3B54}";
    struct Case { std::wstring product; std::size_t nameChars; Lines lines; };
    const Case cases[] = {
        {code, 258, {L"A deferred action asked for a reboot: " + std::wstring(258, L'a')}},
        {code, 259, {L"A deferred action asked for a reboot: " + std::wstring(259, L'a')}},
        {code, 260, {L"RegQueryValueEx returned 234", L"No reboot asked for"}},
        {code.substr(0, 37), 8, {L"ProductCode is not a product code: '" + code.substr(0, 37) + L"'", L"No reboot asked for"}},
        {code + L"0", 8, {L"MsiGetProperty returned 234", L"No reboot asked for"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(bench::Narrow(c.lines.front()).substr(0, 60));
        bench::RegistryKey pending(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI\\RebootPending");
        pending.SetString(code, std::wstring(c.nameChars, L'a'));
        auto session = bench::Package().Property(L"ProductCode", c.product).Open();
        EXPECT_EQ(bench::CallAction("RequestRecordedReboot", *session), 0u);
        EXPECT_EQ(session->Log(), c.lines);
    }
}

TEST(CancelButton, CommonDataBetweenEntryAndExitLines) {
    struct Case { const char* action; int visible; };
    for (Case c : {Case{"DisableCancel", 0}, Case{"EnableCancel", 1}}) {
        auto session = bench::Package().Open();
        // A handle that is no session still gives 0, and nothing reaches the live session.
        for (MSIHANDLE invalid : {MSIHANDLE(0), MSIHANDLE(12345)}) EXPECT_EQ(bench::CallAction(c.action, invalid), 0u);
        EXPECT_EQ(bench::CallAction(c.action, *session), 0u);

        auto messages = session->Messages();
        ASSERT_EQ(messages.size(), 3u) << c.action;
        std::wstring name = bench::Widen(c.action);
        EXPECT_EQ(messages[0].Text(0), kPrefix + L"Entering " + name);
        EXPECT_EQ(messages[1].type, 0x0B000000u);
        ASSERT_EQ(messages[1].FieldCount(), 2u);
        EXPECT_TRUE(messages[1].fields[1].isInteger && messages[1].fields[2].isInteger);
        EXPECT_EQ(messages[1].fields[1].integer, 2);
        EXPECT_EQ(messages[1].fields[2].integer, c.visible);
        EXPECT_EQ(messages[2].Text(0), kPrefix + L"Exiting " + name);
    }
}

TEST(TestMessage, OneUserMessageWhateverTheAnswer) {
    for (int answer : {IDOK, IDCANCEL, -1, 0}) {
        auto session = bench::Package().Open();
        session->Answer(INSTALLMESSAGE_USER, {answer});
        EXPECT_EQ(bench::CallAction("TestMessage", *session), 0u);
        auto messages = session->Messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].type, 0x03000000u);
        EXPECT_EQ(messages[0].FieldCount(), 2u);
        EXPECT_EQ(messages[0].Text(0), L"hey dude");
        EXPECT_TRUE(session->Log().empty());
    }
}

TEST(LogMessage, LinesArePrefixedAndCutAtTheLineBuffer) {
    auto session = bench::Package().Open();
    kci::LogMessage(session->Handle(), L"plain text");
    kci::LogMessage(session->Handle(), L"%s", std::wstring(1013, L'a'));
    kci::LogMessage(session->Handle(), L"%s", std::wstring(5000, L'b'));
    kci::LogMessage(session->Handle(), L"Process returned 0x%lx", 3u);
    kci::LogMessage(session->Handle(), L"%s", std::wstring(1014, L'['));  // cut as shown, then escaped

    for (const auto& info : session->Messages(INSTALLMESSAGE_INFO)) {
        EXPECT_EQ(info.FieldCount(), 2u);  // the line is the template; fields 1 and 2 stay empty
        EXPECT_TRUE(info.fields[1].isNull && info.fields[2].isNull);
    }
    Lines raw = session->RawLog();
    ASSERT_EQ(raw.size(), 5u);
    EXPECT_EQ(raw[0], kPrefix + L"plain text");
    EXPECT_EQ(raw[1].size(), 1039u);
    EXPECT_EQ(raw[1], kPrefix + std::wstring(1013, L'a'));
    EXPECT_EQ(raw[2], kPrefix + std::wstring(1013, L'b'));
    EXPECT_EQ(raw[3], kPrefix + L"Process returned 0x3");
    EXPECT_EQ(session->Log().back(), std::wstring(1013, L'['));  // as the installer's log shows it
}

// An argument is neither a format nor installer syntax: the installer's own
// log file, and the bench's reading of the record, show the line as built.
TEST(LogMessage, ArgumentsReachTheLogAsTheyAre) {
    const std::wstring references = L"[ProductCode] [%PATH] {x} [\\[] [~] {[1]}";
    const std::wstring line = L"Find 100%s %d %% " + references;
    bench::TempDir dir;
    MsiEnableLogW(INSTALLLOGMODE_INFO, (dir / L"install.log").c_str(), 0);
    {
        auto session = bench::Package().Open();
        kci::LogMessage(session->Handle(), L"Find %s %s", L"100%s %d %%", references);
        EXPECT_EQ(session->Log(), (Lines{line}));
    }
    MsiEnableLogW(0, nullptr, 0);
    EXPECT_NE(bench::ReadFile(dir / L"install.log").find(bench::Narrow(kPrefix + line)), std::string::npos);
}

TEST(ShowActionStart, LogsTheInstallersAnswer) {
    for (int answer : {0, 1, -1}) {
        auto session = bench::Package().Open();
        session->Answer(INSTALLMESSAGE_ACTIONSTART, {answer});
        kci::ShowActionStart(session->Handle(), L"Removing log files");

        auto starts = session->Messages(INSTALLMESSAGE_ACTIONSTART);
        ASSERT_EQ(starts.size(), 1u);
        EXPECT_EQ(starts[0].type, 0x08000000u);
        EXPECT_EQ(starts[0].FieldCount(), 2u);
        EXPECT_EQ(starts[0].Text(2), L"Removing log files");
        EXPECT_TRUE(starts[0].fields[1].isNull);
        EXPECT_EQ(session->Log(), (Lines{L"MsiProcessMessage(ACTIONSTART) returned " + std::to_wstring(answer)}));
    }
}

class CatalogueTest : public testing::Test {
protected:
    kci::CLocal catalogue{bench::Library()};
};

TEST_F(CatalogueTest, ReturnsTextsWholeAndBlankForMissingOnes) {
    auto session = bench::Package().Open();
    EXPECT_STREQ(catalogue.LoadCatalogueString(session->Handle(), 6), L"The following error(s) occurred:");
    EXPECT_STREQ(catalogue.LoadCatalogueString(session->Handle(), 15),
                 L" conflicting programs, drivers, or other problems. Please correct these and run the install again");
    EXPECT_STREQ(catalogue.LoadCatalogueString(session->Handle(), 19),
                 L"The Log file removal routine reported the following error: ");
    EXPECT_STREQ(catalogue.LoadCatalogueString(session->Handle(), 42), L"Processing the Caspol Operations");
    for (unsigned missing : {0u, 43u, 47u, 48u, 1000u})
        EXPECT_STREQ(catalogue.LoadCatalogueString(session->Handle(), missing), L" ") << missing;
}

TEST_F(CatalogueTest, AnyPackageLanguageFindsTheNeutralTable) {
    for (const wchar_t* language : {L"1033", L"1031", L"", L"0", L"abc", L"65536", L"-5"}) {
        auto session = bench::Package().Property(L"ProductLanguage", language).Open();
        EXPECT_STREQ(catalogue.LoadCatalogueString(session->Handle(), 31), L"ERROR") << bench::Narrow(language);
    }
}

TEST_F(CatalogueTest, NextLookupOverwritesTheSharedBuffer) {
    auto session = bench::Package().Open();
    const wchar_t* kept = catalogue.LoadCatalogueString(session->Handle(), 31);
    catalogue.LoadCatalogueString(session->Handle(), 30);
    EXPECT_STREQ(kept, L"Error in showing applications that need to be shut down. Please exit Communicator "
                       L"and/or Tenvor Pelago applications and restart the install.");
}

}  // namespace

namespace {

HANDLE CurrentActivationContext() {
    HANDLE context = nullptr;
    GetCurrentActCtx(&context);
    if (context) ReleaseActCtx(context);  // only compared, never used
    return context;
}

TEST(LibraryObject, ModuleContextIsActiveOnlyInsideTheGuard) {
    kci::CLocal* saved = kci::Catalogue();
    {
        kci::CKorviCustomImmediateApp app;
        ASSERT_TRUE(app.InitInstance(bench::Library()));
        ASSERT_NE(kci::Catalogue(), nullptr);

        HANDLE outside = CurrentActivationContext();
        {
            kci::ModuleContextGuard guard;
            EXPECT_TRUE(guard.Activated());
            EXPECT_NE(CurrentActivationContext(), outside);
        }
        EXPECT_EQ(CurrentActivationContext(), outside);

        EXPECT_EQ(app.ExitInstance(), 0);
        EXPECT_EQ(kci::Catalogue(), nullptr);
        kci::ModuleContextGuard afterUnload;  // nothing left to activate
        EXPECT_FALSE(afterUnload.Activated());
    }
    kci::SetCatalogue(saved);
}

TEST(LibraryObject, ManifestAsksForNoMoreThanTheCallersRights) {
    HRSRC found = FindResourceW(bench::Library(), MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    const char* data = static_cast<const char*>(LockResource(LoadResource(bench::Library(), found)));
    std::string manifest(data, SizeofResource(bench::Library(), found));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_EQ(manifest.find("<dependency"), std::string::npos);
}

}  // namespace
