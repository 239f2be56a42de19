// The ground every other test stands on: the Japanese code page, a display, and the exception
// texts converted into it.
#include <windows.h>
#include <gtest/gtest.h>

#include "SysUtils.h"

TEST(Platform, RunsInTheJapaneseCodePageWithADisplay)
{
    EXPECT_EQ(GetACP(), 932u);
    HWND h = CreateWindowExA(0, "STATIC", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(h, nullptr);
    DestroyWindow(h);
}

TEST(Exceptions, MessagesAreShiftJisAndFormatted)
{
    // "検" is 0x8C 0x9F in Shift-JIS.
    Exception e(L"検");
    EXPECT_EQ(e.Message(), std::string("\x8C\x9F"));
    EXPECT_EQ(FormatText(L"%s に書き込めません", {L"a.ini"}), L"a.ini に書き込めません");
    EXPECT_EQ(FormatText(L"100%% %d", {L"7"}), L"100% 7");
    EXPECT_EQ(ListIndexErrorText(-1), L"リストのインデックスが範囲を超えています (-1)");
}

TEST(Exceptions, OsErrorCarriesCodeAndSystemText)
{
    try {
        RaiseLastOSError(ERROR_FILE_NOT_FOUND);
        FAIL();
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        std::wstring w = WideFromAnsi(e.Message());
        EXPECT_EQ(w.rfind(L"システムエラー。コード：2.\r\n", 0), 0u) << e.Message();
    }
    try {
        RaiseLastOSError(0);
        FAIL();
    } catch (const EOSError& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()), L"OS 機能呼び出しの失敗");
    }
}
