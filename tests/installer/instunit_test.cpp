// The installer's window as CreateInstallForm builds it, and the band-category cache clearing on
// the real registry.
#include "TestRegistry.h"
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

}  // namespace

TEST_F(InstallWindow, IsBuiltHiddenWithADialogFrameCentredAndWithoutIcon)
{
    TMiniControl* w = form->Window;
    ASSERT_NE(w->Handle, nullptr);
    EXPECT_EQ(MainMiniWindow, w);
    EXPECT_FALSE(IsWindowVisible(w->Handle));   // shown by the message loop
    EXPECT_EQ(TextOf(w->Handle), Ansi(L"Palvenor 日本語版"));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(w->Handle, GWL_STYLE)),
              static_cast<DWORD>(WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU |
                                 WS_THICKFRAME));
    const DWORD dialogFrame = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;
    EXPECT_EQ(GetWindowLongA(w->Handle, GWL_EXSTYLE) & dialogFrame, dialogFrame);

    // 188 x 111 was the client size under the first frame; the frame change kept the outer size.
    RECT outer, expected{0, 0, 188, 111};
    GetWindowRect(w->Handle, &outer);
    AdjustWindowRectEx(&expected, 0x16CF0000 & ~static_cast<DWORD>(WS_VISIBLE), FALSE,
                       WS_EX_CONTROLPARENT);
    EXPECT_EQ(outer.right - outer.left, expected.right - expected.left);
    EXPECT_EQ(outer.bottom - outer.top, expected.bottom - expected.top);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) >> 1);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) >> 1);
    EXPECT_FALSE(IsResizable(w));
    EXPECT_EQ(SendMessageA(w->Handle, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_EQ(BandLibraryPath(), testenv::Wide(testenv::ProgramDir() + "kervodll.dll"));
}

TEST_F(InstallWindow, ControlsStandInPlaceInTabOrderWithTheOneJapaneseFont)
{
    ASSERT_TRUE(form->Window->CreateWindow());
    HWND wnd = form->Window->Handle;
    HWND group = form->InstallGroup->Handle;
    struct Expected {
        TMiniControl* control;
        const wchar_t* text;
        HWND parent;
        RECT bounds;
        int tabOrder;
    };
    const Expected controls[] = {
        {form->InstallGroup, L"インストール", wnd, {8, 8, 177, 73}, 1},
        {form->RegisterBtn, L"登録", group, {8, 24, 81, 49}, 2},
        {form->UnregisterBtn, L"解除", group, {88, 24, 161, 49}, 3},
        {form->CloseBtn, L"閉じる", wnd, {96, 81, 169, 106}, 4},
    };
    const auto font = reinterpret_cast<LRESULT>(GetToolHandle(form->Window->Font));
    for (const Expected& e : controls) {
        HWND h = e.control->Handle;
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(TextOf(h), Ansi(e.text));
        EXPECT_EQ(GetParent(h), e.parent);
        RECT r;
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, e.parent, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_TRUE(EqualRect(&r, &e.bounds)) << TextOf(h) << " " << r.left << "," << r.top;
        EXPECT_EQ(e.control->TabOrder, e.tabOrder);
        EXPECT_EQ(SendMessageA(h, WM_GETFONT, 0, 0), font);
    }
    EXPECT_FALSE(form->InstallGroup->TabStop);
    EXPECT_EQ(form->Window->CurrentControl, form->InstallGroup);
    EXPECT_EQ(form->Window->CancelButton, form->CloseBtn);
    EXPECT_EQ(form->Window->DefaultButton, nullptr);

    LOGFONTA lf{};
    ASSERT_NE(GetObjectA(reinterpret_cast<HGDIOBJ>(font), sizeof lf, &lf), 0);
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfWeight, 0);
    EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(std::string(lf.lfFaceName), Ansi(L"ＭＳ Ｐゴシック"));

    // The holder goes with the window.
    bool holderGone = false;
    struct Seen {
        bool* gone;
        void Destroyed(TMiniObject*) { *gone = true; }
    } seen{&holderGone};
    form->OnDestroy = MiniMethod<Seen, &Seen::Destroyed>(&seen);
    Free(form->Window);
    form = nullptr;
    EXPECT_TRUE(holderGone);
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

void Create(HKEY root, const std::string& path)
{
    ASSERT_TRUE(testenv::CreateKeyPath(root, path)) << path;
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

TEST(BandCategoryCache, RemovesTheCacheTreesAndNothingElse)
{
    // Nothing there: the two keys are made and removed again, the category key stays.
    RemoveTree(HKEY_CLASSES_ROOT, kCategory + "\\Enum");
    RemoveTree(HKEY_CLASSES_ROOT, kCategory + "\\En");
    ClearBandCategoryCache();
    EXPECT_TRUE(testenv::KeyExists(HKEY_CLASSES_ROOT, kCategory));
    EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, kCategory + "\\Enum"));
    EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, kCategory + "\\En"));

    Create(HKEY_CLASSES_ROOT, kCategory + "\\Enum\\a\\b\\c\\d");
    Create(HKEY_CLASSES_ROOT, kCategory + "\\Enum\\e");
    Create(HKEY_CLASSES_ROOT, kCategory + "\\En\\x\\y");
    Create(HKEY_CLASSES_ROOT, kCategory + "\\Keep");
    Create(HKEY_CURRENT_USER, kInfo + "\\Enum\\one\\two");
    Create(HKEY_CURRENT_USER, kComm + "\\Enum");
    Create(HKEY_CURRENT_USER, kInfo + "\\Other");
    Create(HKEY_CURRENT_USER, kDeskBandCache + "\\untouched");
    ClearBandCategoryCache();
    EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, kCategory + "\\Enum"));
    EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, kCategory + "\\En"));
    EXPECT_TRUE(testenv::KeyExists(HKEY_CLASSES_ROOT, kCategory + "\\Keep"));
    EXPECT_FALSE(testenv::KeyExists(HKEY_CURRENT_USER, kInfo + "\\Enum"));
    EXPECT_FALSE(testenv::KeyExists(HKEY_CURRENT_USER, kComm + "\\Enum"));
    EXPECT_TRUE(testenv::KeyExists(HKEY_CURRENT_USER, kInfo + "\\Other"));
    EXPECT_TRUE(testenv::KeyExists(HKEY_CURRENT_USER, kComm));
    // The desk-band category's cache under the current user is not the installer's business.
    EXPECT_TRUE(testenv::KeyExists(HKEY_CURRENT_USER, kDeskBandCache + "\\untouched"));

    RemoveTree(HKEY_CLASSES_ROOT, kCategory + "\\Keep");
    RemoveTree(HKEY_CURRENT_USER, kInfo + "\\Other");
    RemoveTree(HKEY_CURRENT_USER, kDeskBandCache);
}
