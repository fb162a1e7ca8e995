#include <gtest/gtest.h>

#include <string>

#include "runtime/core/product_code.h"

namespace {

// Only a product code names a product in the library's records; any other
// value there (a record of a setting, a stray name) is counted as none.
TEST(ProductCode, OnlyABracedGuidIsOne) {
    struct Case { std::wstring name; bool product; };
    const Case cases[] = {
        {L"{4C1B7E2A-9D3F-4E85-B6A0-7F2C9D1E3B54}", true},  {L"{4c1b7e2a-9d3f-4e85-b6a0-7f2c9d1e3b54}", true},
        {L"{00000000-0000-0000-0000-000000000000}", true},  {L"4C1B7E2A-9D3F-4E85-B6A0-7F2C9D1E3B54", false},
        {L"{4C1B7E2A-9D3F-4E85-B6A0-7F2C9D1E3B5}", false},  {L"{4C1B7E2A-9D3F-4E85-B6A0-7F2C9D1E3B540}", false},
        {L"{4C1B7E2A-9D3F-4E85-B6A0-7F2C9D1E3B54", false},  {L"(4C1B7E2A-9D3F-4E85-B6A0-7F2C9D1E3B54)", false},
        {L"{4C1B7E2AA9D3F-4E85-B6A0-7F2C9D1E3B54}", false}, {L"{4C1B7E2A-9D3F-4E85-B6A0-7F2C9D1E3B5G}", false},
        {L"{4C1B7E2A-9D3F-4E85-B6A0--F2C9D1E3B54}", false}, {L"{4C1B7E2A-9D3F-4E85-B6A0 7F2C9D1E3B54}", false},
        {L"CrashDumpEnabled", false},                       {L"", false},
        {std::wstring(L"{4C1B7E2A-9D3F-4E85-B6A0-7F2C9D1E3B54}\0x", 40), false},
    };
    for (const Case& c : cases) EXPECT_EQ(kci::IsProductCode(c.name), c.product) << testing::PrintToString(c.name);
}

}  // namespace
