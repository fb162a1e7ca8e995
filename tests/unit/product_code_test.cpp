#include <gtest/gtest.h>

#include <string>

#include "runtime/core/product_code.h"

// Only a product code names a product in the library's records; another value there counts as none.
TEST(ProductCode, OnlyABracedGuidIsOne) {
    const std::wstring good = L"{4C1B7E2A-9D3F-4E85-B6A0-7F2C9D1E3B54}";
    const std::pair<std::wstring, bool> cases[] = {
        {good, true}, {L"{4c1b7e2a-9d3f-4e85-b6a0-7f2c9d1e3b54}", true}, {good.substr(1, 36), false},
        {good.substr(0, 37), false}, {good.substr(0, 36) + L"-}", false}, {good.substr(0, 37) + L"0}", false},
        {L"(" + good.substr(1, 36) + L")", false}, {L"{4C1B7E2AA9D3F-4E85-B6A0-7F2C9D1E3B54}", false},
        {L"{4C1B7E2A-9D3F-4E85-B6A0-7F2C9D1E3B5G}", false}, {L"{4C1B7E2A-9D3F-4E85-B6A0 7F2C9D1E3B54}", false},
        {L"CrashDumpEnabled", false}, {L"", false}, {good + std::wstring(1, L'\0'), false}};
    for (const auto& [name, product] : cases) EXPECT_EQ(kci::IsProductCode(name), product) << testing::PrintToString(name);
}
