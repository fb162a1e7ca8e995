// CheckRunningOutlook: the mail client always, the office programs and
// browsers only where click-to-call and their own add-in feature are local.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "bench/bench.h"
#include "detect_common.h"

using bench::Lines;
using detect::kFilesInUse;
using detect::PairList;
using detect::Steps;

namespace {

const wchar_t* const kFeatures[] = {L"ClicktoCall", L"MSOffice", L"Firefox", L"InternetExplorer"};

// A costed session of a package with the four features, each installed
// locally by this run (action 3) unless `local` says otherwise. Nothing is
// installed yet, so every installed state is absent (2).
std::unique_ptr<bench::Session> SessionWithFeatures(const std::map<std::wstring, bool>& local) {
    bench::Package package;
    for (const wchar_t* feature : kFeatures) package.Feature(feature);
    auto session = package.Open();
    session->Cost();
    for (const auto& [feature, isLocal] : local) session->SetFeatureLocal(feature, isLocal);
    return session;
}

// All the applications the action may look for, running.
struct EveryApplication {
    bench::DummyProcess outlook{L"OUTLOOK.EXE"}, word{L"WINWORD.EXE"}, excel{L"EXCEL.EXE"},
        firefox{L"firefox.exe"}, explorer{L"IEXPLORE.EXE"};
};

TEST(DetectOffice, WithoutClickToCallOnlyTheMailClient) {
    EveryApplication running;
    auto session = SessionWithFeatures({{L"ClicktoCall", false}});
    session->Answer(kFilesInUse, {IDCANCEL});
    EXPECT_EQ(bench::CallAction("CheckRunningOutlook", *session), 1602u);

    auto prompts = session->Messages(kFilesInUse);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].Text(0), detect::kHeading);
    EXPECT_EQ(detect::Pairs(prompts[0]), (PairList{{L"OUTLOOK.EXE", L"Microsoft Outlook"}}));
    EXPECT_EQ(Steps(*session), (Lines{
        L"Entering CheckRunningOutlook", L"Entering FindOutlook", L"This is a match: process OUTLOOK.EXE",
        L"MsiGetFeatureStateW succeded for ClicktoCall. pInstalled=2 pAction=2", L"records = 2",
        L"Found MS Outlook process running that need to be shut down", L"Result = 2",
        L"Exiting CheckRunningOutlook - user hit cancel"}));
}

TEST(DetectOffice, EachOptionalApplicationFollowsItsOwnFeature) {
    EveryApplication running;
    auto session = SessionWithFeatures({{L"MSOffice", false}, {L"Firefox", false}});
    session->Answer(kFilesInUse, {IDCANCEL});
    EXPECT_EQ(bench::CallAction("CheckRunningOutlook", *session), 1602u);

    auto prompts = session->Messages(kFilesInUse);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(detect::Pairs(prompts[0]), (PairList{{L"OUTLOOK.EXE", L"Microsoft Outlook"},
                                                   {L"iexplore.exe", L"Microsoft Internet Explorer"}}));
    EXPECT_EQ(Steps(*session), (Lines{
        L"Entering CheckRunningOutlook", L"Entering FindOutlook", L"This is a match: process OUTLOOK.EXE",
        L"MsiGetFeatureStateW succeded for ClicktoCall. pInstalled=2 pAction=3",
        L"MsiGetFeatureStateW for MSOffice. pInstalled=2 pAction=2", L"Not finding Word and Excel",
        L"MsiGetFeatureStateW for Firefox. pInstalled=2 pAction=2",
        L"MsiGetFeatureStateW for InternetExplorer. pInstalled=2 pAction=3", L"Find Internet Explorer",
        L"Entering FindIE", L"This is a match: process IEXPLORE.EXE", L"records = 4",
        L"Found MS Outlook process running that need to be shut down", L"Result = 2",
        L"Exiting CheckRunningOutlook - user hit cancel"}));
}

TEST(DetectOffice, AllFeaturesLocalListsAllFiveInTableOrder) {
    EveryApplication running;
    auto session = SessionWithFeatures({});
    // The user closes everything but the spreadsheet, then everything.
    int prompt = 0;
    session->OnMessage(kFilesInUse, [&](const bench::Message&) {
        if (++prompt == 1) {
            running.outlook.End(); running.word.End(); running.firefox.End(); running.explorer.End();
        } else {
            running.excel.End();
        }
    });
    session->Answer(kFilesInUse, {IDRETRY});
    EXPECT_EQ(bench::CallAction("CheckRunningOutlook", *session), 0u);

    auto prompts = session->Messages(kFilesInUse);
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(detect::Pairs(prompts[0]), (PairList{{L"OUTLOOK.EXE", L"Microsoft Outlook"},
                                                   {L"winword.exe", L"Microsoft Word - WINWORD.EXE"},
                                                   {L"excel.exe", L"Microsoft Excel"},
                                                   {L"firefox.exe", L"Mozilla Firefox"},
                                                   {L"iexplore.exe", L"Microsoft Internet Explorer"}}));
    EXPECT_EQ(detect::Pairs(prompts[1]), (PairList{{L"excel.exe", L"Microsoft Excel"}}));
    Lines steps = Steps(*session);
    for (const wchar_t* line : {L"records = 10", L"records = 2", L"records = 0"})
        EXPECT_EQ(std::count(steps.begin(), steps.end(), line), 1) << bench::Narrow(line);
    EXPECT_EQ(steps.back(), L"Exiting CheckRunningOutlook with success");
}

TEST(DetectOffice, FailedQueriesAreLoggedAndCountAsNotLocal) {
    EveryApplication running;
    // No click-to-call feature at all: only the mail client, with the unset states.
    {
        auto session = bench::Package().Open();
        session->Answer(kFilesInUse, {IDCANCEL});
        EXPECT_EQ(bench::CallAction("CheckRunningOutlook", *session), 1602u);
        Lines steps = Steps(*session);
        ASSERT_GE(steps.size(), 5u);
        EXPECT_EQ(steps[3], L"MsiGetFeatureStateW failed. pInstalled=-1 pAction=-1");
        EXPECT_EQ(steps[4], L"records = 2");
    }
    // Click-to-call but no office or browser features: each failure line
    // shows the states the query before it left.
    {
        bench::Package package;
        package.Feature(L"ClicktoCall");
        auto session = package.Open();
        session->Cost();
        session->Answer(kFilesInUse, {IDCANCEL});
        EXPECT_EQ(bench::CallAction("CheckRunningOutlook", *session), 1602u);
        Lines steps = Steps(*session);
        ASSERT_GE(steps.size(), 8u);
        EXPECT_EQ(Lines(steps.begin() + 3, steps.begin() + 8), (Lines{
            L"MsiGetFeatureStateW succeded for ClicktoCall. pInstalled=2 pAction=3",
            L"MsiGetFeatureStateW failed failed for MSOffice. pInstalled=2 pAction=3",
            L"MsiGetFeatureStateW failed failed for Firefox. pInstalled=2 pAction=3",
            L"MsiGetFeatureStateW failed failed for InternetExplorer. pInstalled=2 pAction=3",
            L"records = 2"}));
    }
}

TEST(DetectOffice, DuringRemovalInstalledFeaturesStillCount) {
    bench::Package package;
    for (const wchar_t* feature : kFeatures) package.Feature(feature);
    std::wstring productCode;
    {
        bench::InstalledPackage installed(package);
        ASSERT_EQ(installed.Result(), 0u);
        bench::DummyProcess word(L"winword.exe");
        auto session = package.Open();
        productCode = session->Property(L"ProductCode");
        session->Cost();
        for (const wchar_t* feature : kFeatures) session->SetFeatureLocal(feature, false);  // being removed
        session->Answer(kFilesInUse, {IDCANCEL});
        EXPECT_EQ(bench::CallAction("CheckRunningOutlook", *session), 1602u);

        auto prompts = session->Messages(kFilesInUse);
        ASSERT_EQ(prompts.size(), 1u);
        EXPECT_EQ(detect::Pairs(prompts[0]), (PairList{{L"winword.exe", L"Microsoft Word - WINWORD.EXE"}}));
        Lines steps = Steps(*session);
        ASSERT_GE(steps.size(), 8u);
        EXPECT_EQ(Lines(steps.begin() + 3, steps.begin() + 8), (Lines{
            L"MsiGetFeatureStateW succeded for ClicktoCall. pInstalled=3 pAction=2",
            L"MsiGetFeatureStateW for MSOffice. pInstalled=3 pAction=2", L"Find Word and Excel",
            L"Entering FindWORD", L"This is a match: process winword.exe"}));
        EXPECT_EQ(std::count(steps.begin(), steps.end(), L"Entering FindFIREFOX"), 1);
        EXPECT_EQ(std::count(steps.begin(), steps.end(), L"Entering FindIE"), 1);
    }
    EXPECT_EQ(MsiQueryProductStateW(productCode.c_str()), INSTALLSTATE_UNKNOWN) << "the test product stays installed";
}

}  // namespace
