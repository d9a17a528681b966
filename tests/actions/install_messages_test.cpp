#include <gtest/gtest.h>

#include "install_messages.h"

TEST(InstallMessages, PropertyFailureLinesReadExactly)
{
    EXPECT_EQ(L"ERROR: MsiGetProperty() with name: APPDIR returned: 0 while making initial size call",
              PropertySizeQueryFailedMessage(L"APPDIR", 0));
    EXPECT_EQ(L"ERROR: MsiGetProperty() with name: CustomActionData returned: 1627",
              PropertyReadFailedMessage(L"CustomActionData", 1627));
    EXPECT_EQ(L"ERROR: MsiSetProperty() with name: AppdirNoTrailingBackslash and value: C:\\App returned: 4294967295",
              PropertyWriteFailedMessage(L"AppdirNoTrailingBackslash", L"C:\\App", 0xFFFFFFFFu));
}

TEST(InstallMessages, EscapesEveryFormatterBracketAndNothingElse)
{
    const struct {
        const wchar_t* text;
        const wchar_t* escaped;
    } cases[] = {
        {L"", L""},
        {L"plain \\ text ~ % \u00E9", L"plain \\ text ~ % \u00E9"},
        {L"[ProductName]", L"[\\[]ProductName[\\]]"},
        {L"{x}", L"[\\{]x[\\}]"},
        {L"[\\[]", L"[\\[]\\[\\[][\\]]"},
        {L"]][[", L"[\\]][\\]][\\[][\\[]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.escaped, EscapeFormatTemplate(c.text));
}
