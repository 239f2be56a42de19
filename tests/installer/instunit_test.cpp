// The installer's window as CreateInstallForm builds it, and the band-category cache clearing on
// the real registry.
#include "InstUnit.h"
#include "LayerTestKit.h"
#include "TestEnv.h"

using namespace miniwin;
using kit::Ansi;

namespace {

std::string TextOf(HWND wnd)
{
    char text[256] = "";
    GetWindowTextA(wnd, text, sizeof text);
    return text;
}

class InstallWindow : public kit::LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        CreateInstallForm(form, nullptr);
    }
    void TearDown() override
    {
        if (form) Free(form->Window);
        LayerTest::TearDown();
    }
    TInstallForm* form = nullptr;
};

RECT BoundsIn(HWND wnd, HWND parent)
{
    RECT r;
    GetWindowRect(wnd, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

TEST_F(InstallWindow, IsBuiltHiddenCentredAndWithADialogFrame)
{
    TMiniControl* w = form->Window;
    ASSERT_NE(w->Handle, nullptr);
    EXPECT_EQ(MainMiniWindow, w);
    EXPECT_FALSE(IsWindowVisible(w->Handle));   // shown by the message loop
    EXPECT_EQ(TextOf(w->Handle), Ansi(L"Palvenor 日本語版"));

    const DWORD style = GetWindowLongA(w->Handle, GWL_STYLE);
    const DWORD exStyle = GetWindowLongA(w->Handle, GWL_EXSTYLE);
    EXPECT_EQ(style & ~static_cast<DWORD>(WS_VISIBLE),
              static_cast<DWORD>(WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU |
                                 WS_THICKFRAME));
    EXPECT_EQ(exStyle & (WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT),
              static_cast<DWORD>(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT));

    // The client size 188 x 111 was set under the first frame; the frame change kept the outer
    // size.
    RECT outer;
    GetWindowRect(w->Handle, &outer);
    RECT expected{0, 0, 188, 111};
    AdjustWindowRectEx(&expected, 0x16CF0000 & ~static_cast<DWORD>(WS_VISIBLE), FALSE,
                       WS_EX_CONTROLPARENT);
    EXPECT_EQ(outer.right - outer.left, expected.right - expected.left);
    EXPECT_EQ(outer.bottom - outer.top, expected.bottom - expected.top);

    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) >> 1);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) >> 1);
    EXPECT_FALSE(IsResizable(w));
    EXPECT_EQ(SendMessageA(w->Handle, WM_GETICON, ICON_BIG, 0), 0);
}

TEST_F(InstallWindow, ControlsStandWhereTheInstallerPutsThem)
{
    ASSERT_TRUE(form->Window->CreateWindow());
    HWND wnd = form->Window->Handle;
    HWND group = form->InstallGroup->Handle;
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(TextOf(group), Ansi(L"インストール"));
    EXPECT_EQ(TextOf(form->RegisterBtn->Handle), Ansi(L"登録"));
    EXPECT_EQ(TextOf(form->UnregisterBtn->Handle), Ansi(L"解除"));
    EXPECT_EQ(TextOf(form->CloseBtn->Handle), Ansi(L"閉じる"));
    EXPECT_EQ(GetParent(form->RegisterBtn->Handle), group);
    EXPECT_EQ(GetParent(form->UnregisterBtn->Handle), group);
    EXPECT_EQ(GetParent(form->CloseBtn->Handle), wnd);

    auto expectBounds = [](HWND w, HWND parent, RECT want) {
        RECT r = BoundsIn(w, parent);
        EXPECT_EQ(r.left, want.left);
        EXPECT_EQ(r.top, want.top);
        EXPECT_EQ(r.right, want.right);
        EXPECT_EQ(r.bottom, want.bottom);
    };
    expectBounds(group, wnd, RECT{8, 8, 8 + 169, 8 + 65});
    expectBounds(form->RegisterBtn->Handle, group, RECT{8, 24, 8 + 73, 24 + 25});
    expectBounds(form->UnregisterBtn->Handle, group, RECT{88, 24, 88 + 73, 24 + 25});
    expectBounds(form->CloseBtn->Handle, wnd, RECT{96, 81, 96 + 73, 81 + 25});

    // Tab order is creation order; the group box is current but not a tab stop.
    EXPECT_EQ(form->InstallGroup->TabOrder, 1);
    EXPECT_EQ(form->RegisterBtn->TabOrder, 2);
    EXPECT_EQ(form->UnregisterBtn->TabOrder, 3);
    EXPECT_EQ(form->CloseBtn->TabOrder, 4);
    EXPECT_FALSE(form->InstallGroup->TabStop);
    EXPECT_EQ(form->Window->CurrentControl, form->InstallGroup);
    EXPECT_EQ(form->Window->CancelButton, form->CloseBtn);
    EXPECT_EQ(form->Window->DefaultButton, nullptr);
}

TEST_F(InstallWindow, EveryWindowUsesTheOneJapaneseFont)
{
    ASSERT_TRUE(form->Window->CreateWindow());
    // Plain windows keep no font; the form's font tool holds the handle its controls got.
    const auto font = reinterpret_cast<LRESULT>(GetToolHandle(form->Window->Font));
    ASSERT_NE(font, 0);
    for (TMiniControl* c : {form->InstallGroup, form->RegisterBtn, form->UnregisterBtn, form->CloseBtn})
        EXPECT_EQ(SendMessageA(c->Handle, WM_GETFONT, 0, 0), font);
    LOGFONTA lf{};
    ASSERT_NE(GetObjectA(reinterpret_cast<HGDIOBJ>(font), sizeof lf, &lf), 0);
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfWeight, 0);
    EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(std::string(lf.lfFaceName), Ansi(L"ＭＳ Ｐゴシック"));
}

TEST_F(InstallWindow, HolderGoesWithTheWindowAndTheLibraryLiesBesideTheProgram)
{
    struct Seen {
        bool gone = false;
        void Destroyed(TMiniObject*) { gone = true; }
    } seen;
    form->OnDestroy = MiniMethod<Seen, &Seen::Destroyed>(&seen);
    Free(form->Window);
    form = nullptr;
    EXPECT_TRUE(seen.gone);

    EXPECT_EQ(BandLibraryPath(), testenv::ProgramDir() + "kervodll.dll");
}

// ---------------------------------------------------------------------------------------------

namespace {

const std::string kCategory = "Component Categories\\{00021492-0000-0000-C000-000000000046}";
const std::string kPostSetup =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\"
    "Component Categories\\";
const std::string kInfo = kPostSetup + "{00021493-0000-0000-C000-000000000046}";
const std::string kComm = kPostSetup + "{00021494-0000-0000-C000-000000000046}";
const std::string kDeskBandCache = kPostSetup + "{00021492-0000-0000-C000-000000000046}\\Enum";

bool Exists(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void Create(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS)
        << path;
    RegCloseKey(key);
}

void RemoveTree(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    char name[256];
    for (;;) {
        DWORD len = sizeof name;
        if (RegEnumKeyExA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        RemoveTree(key, name);
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, path.c_str());
}

}  // namespace

TEST(BandCategoryCache, CreatesAndRemovesTheCacheKeysButKeepsTheCategory)
{
    RemoveTree(HKEY_CLASSES_ROOT, kCategory + "\\Enum");
    RemoveTree(HKEY_CLASSES_ROOT, kCategory + "\\En");
    RemoveTree(HKEY_CURRENT_USER, kInfo + "\\Enum");
    RemoveTree(HKEY_CURRENT_USER, kComm + "\\Enum");

    ClearBandCategoryCache();
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, kCategory));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kCategory + "\\Enum"));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kCategory + "\\En"));
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, kInfo + "\\Enum"));
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, kComm + "\\Enum"));
}

TEST(BandCategoryCache, RemovesWholeCacheTreesAndNothingElse)
{
    Create(HKEY_CLASSES_ROOT, kCategory + "\\Enum\\a\\b\\c\\d");
    Create(HKEY_CLASSES_ROOT, kCategory + "\\Enum\\e");
    Create(HKEY_CLASSES_ROOT, kCategory + "\\En\\x\\y");
    Create(HKEY_CLASSES_ROOT, kCategory + "\\Keep");
    Create(HKEY_CURRENT_USER, kInfo + "\\Enum\\one\\two");
    Create(HKEY_CURRENT_USER, kComm + "\\Enum");
    Create(HKEY_CURRENT_USER, kInfo + "\\Other");
    Create(HKEY_CURRENT_USER, kDeskBandCache + "\\untouched");

    ClearBandCategoryCache();
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kCategory + "\\Enum"));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kCategory + "\\En"));
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, kCategory + "\\Keep"));
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, kInfo + "\\Enum"));
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, kComm + "\\Enum"));
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, kInfo + "\\Other"));
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, kComm));
    // The desk-band category's cache under the current user is not the installer's business.
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, kDeskBandCache + "\\untouched"));

    RemoveTree(HKEY_CLASSES_ROOT, kCategory + "\\Keep");
    RemoveTree(HKEY_CURRENT_USER, kInfo + "\\Other");
    RemoveTree(HKEY_CURRENT_USER, kDeskBandCache);
}
