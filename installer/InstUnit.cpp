#include "InstUnit.h"

#include "SysUtils.h"

using namespace miniwin;

TInstallForm* InstallForm = nullptr;

namespace {

// The installer's texts are written wide and shown in the system code page.
std::string Ansi(const wchar_t* text) { return AnsiFromWide(text); }

TMiniControl* PlacedButton(TMiniControl* parent, const wchar_t* caption, int left, int top)
{
    TMiniControl* button = NewMiniButton(parent, Ansi(caption).c_str());
    PlaceAt(button, left, top);
    SizeTo(button, 73, 25);
    return button;
}

// Loads the band library, calls one of its registration exports and frees it again, with the
// band-category caches cleared before and after. The export's answer is not looked at.
void CallBandLibrary(const char* exportName)
{
    ClearBandCategoryCache();
    const std::wstring path = BandLibraryPath();
    if (HMODULE library = LoadLibraryW(path.c_str())) {
        struct Unload {
            HMODULE module;
            ~Unload() { FreeLibrary(module); }
        } unload{library};
        using TExport = HRESULT(WINAPI*)();
        if (auto call = reinterpret_cast<TExport>(
                reinterpret_cast<void*>(GetProcAddress(library, exportName))))
            call();
    }
    ClearBandCategoryCache();
}

}  // namespace

std::wstring BandLibraryPath()
{
    return ExtractFolder(ModuleFileName(nullptr)) + L"kervodll.dll";
}

void CreateInstallForm(TInstallForm*& form, TMiniControl* parent)
{
    TInstallForm* holder = NewMiniObject<TInstallForm>();
    form = holder;

    TMiniControl* window = NewMiniForm(parent, Ansi(L"Palvenor 日本語版").c_str());
    PlaceAt(window, 234, 397);
    ClientSizeTo(window, 188, 111);
    EnableTabKeys(window);
    holder->Window = window;
    MainMiniWindow = window;
    window->AddToAutoFree(holder);

    // A dialog frame without minimise and maximise boxes; the outer size stays.
    SetExStyle(window, window->ExStyle | WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE);
    SetStyle(window, window->Style & ~static_cast<DWORD>(WS_MINIMIZEBOX | WS_MAXIMIZEBOX));

    TMiniTool* font = GetFont(window);
    SetDataWord(font, FontHeightOffset, -12);
    SetFontName(font, Ansi(L"ＭＳ Ｐゴシック").c_str());
    window->ChildMargin = 0;

    holder->InstallGroup = NewMiniGroupBox(window, Ansi(L"インストール").c_str());
    PlaceAt(holder->InstallGroup, 8, 8);
    SizeTo(holder->InstallGroup, 169, 65);
    holder->InstallGroup->TabStop = false;

    holder->RegisterBtn = PlacedButton(holder->InstallGroup, L"登録", 8, 24);
    holder->UnregisterBtn = PlacedButton(holder->InstallGroup, L"解除", 88, 24);
    holder->CloseBtn = PlacedButton(window, L"閉じる", 96, 81);

    holder->CloseBtn->OnClick = MiniMethod<TInstallForm, &TInstallForm::CloseBtnClick>(holder);
    SetDialogKeyButton(holder->CloseBtn, VK_ESCAPE, true);
    holder->RegisterBtn->OnClick =
        MiniMethod<TInstallForm, &TInstallForm::RegisterBtnClick>(holder);
    holder->UnregisterBtn->OnClick =
        MiniMethod<TInstallForm, &TInstallForm::UnregisterBtnClick>(holder);

    CenterOnParentOrScreen(window);
    SetResizable(window, false);
    SetWindowIcon(window, MiniNoIcon());
}

void TInstallForm::RegisterBtnClick(TMiniObject*) { CallBandLibrary("DllRegisterServer"); }

void TInstallForm::UnregisterBtnClick(TMiniObject*) { CallBandLibrary("DllUnregisterServer"); }

void TInstallForm::CloseBtnClick(TMiniObject*) { PostClose(Window); }
