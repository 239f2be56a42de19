// The band form's own context menu with its two commands: start the settings program beside the
// band library, or open the author's home page.
#include <windows.h>
#include <shellapi.h>

#include "QuormelForm.h"

namespace {

constexpr wchar_t kSettingsProgram[] = L"palvenor.exe";
constexpr wchar_t kHomePage[] = L"http://www.example.com/kervo/";

}  // namespace

void TquormelForm::zBandFormContextPopup(TObject*, POINT mousePos, bool& handled)
{
    const bool handledBefore = handled;
    const POINT screen = ClientToScreen(mousePos);
    handled = true;
    // Over the edit part of the input box its own edit menu stays.
    POINT cursor{};
    GetCursorPos(&cursor);
    const POINT p = ComboBox1->ScreenToClient(cursor);
    const RECT box = ComboBox1->ClientRect();
    if (p.x >= 0 && p.x <= box.right - 16 && p.y >= 0 && p.y <= box.bottom) return;
    if (!handledBefore) PopupMenu1->Popup(screen.x, screen.y);
}

void TquormelForm::ActionOption1Execute(TObject*)
{
    // Beside the band library; the bare name when the library is not registered.
    const std::wstring program = ExtractFolder(GetCachedLibraryPath()) + kSettingsProgram;
    ShellExecuteW(Handle(), nullptr, program.c_str(), nullptr, nullptr, SW_SHOW);
    // As after a search: the band comes back on top of its site whatever the started program did.
    Show();
}

void TquormelForm::ActionHome1Execute(TObject*)
{
    ShellExecuteW(Handle(), nullptr, kHomePage, nullptr, nullptr, SW_SHOW);
    // As after a search: the band comes back on top of its site whatever the browser's start did.
    Show();
}

