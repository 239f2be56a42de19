// The browser of the end-to-end tests: a URL opened through the shell reaches the sink exactly.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include "E2eSupport.h"

TEST(UrlSink, AUrlOpenedThroughTheShellArrivesByteIdentical)
{
    e2e::UrlSink sink;
    ASSERT_TRUE(sink.Installed());
    EXPECT_EQ(e2e::UrlSink::Command(L"https"), e2e::UrlSink::Command(L"http"));
    EXPECT_NE(e2e::UrlSink::Command(L"http").find(L"urlsink.exe\" \"%1\""), std::wstring::npos);

    // Escapes, an ampersand, a plus and a fragment must all survive the shell's open.
    const wchar_t* url = L"http://x/?q=%93%FA+a%26b#f";
    const auto started = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", url, nullptr, nullptr, SW_SHOWNORMAL));
    ASSERT_GT(started, 32);
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_EQ(sink.Received(), std::vector<std::string>{"http://x/?q=%93%FA+a%26b#f"});
}
