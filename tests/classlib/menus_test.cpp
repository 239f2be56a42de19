// Menus through real Windows menus: command numbers, the menu handles read back with
// GetMenuItemInfoA, dispatch by number, a popup shown with TrackPopupMenu and chosen with the
// keyboard, owner drawing through the popup list's window, and menus read from form text.
#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TestEnv.h"
#include "FormText.h"
#include "Menus.h"
#include "Streams.h"

namespace {

class TMenuHost : public TComponent {
    KERVO_CLASS(TMenuHost, TComponent)
public:
    explicit TMenuHost(TComponent* owner) : TComponent(owner) {}
    TPopupMenu* PopupMenu1 = nullptr;
    TMenuItem* O1 = nullptr;
    TMenuItem* Inner1 = nullptr;
    TAction* ActionOption1 = nullptr;
    std::vector<std::string> clicks;
    void ItemClick(TObject* sender) { clicks.push_back(static_cast<TComponent*>(sender)->Name()); }
    void OptionExecute(TObject* sender) { clicks.push_back("execute:" + static_cast<TComponent*>(sender)->Name()); }
};

KERVO_CLASS_RECORD(TMenuHost)
{
    b.Field("PopupMenu1", &TMenuHost::PopupMenu1);
    b.Field("O1", &TMenuHost::O1);
    b.Field("Inner1", &TMenuHost::Inner1);
    b.Field("ActionOption1", &TMenuHost::ActionOption1);
    b.Method("ItemClick", &TMenuHost::ItemClick);
    b.Method("OptionExecute", &TMenuHost::OptionExecute);
}

TMenuItem* NewItem(TComponent* owner, TMenuItem* parent, const std::string& caption)
{
    auto* item = new TMenuItem(owner);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
}

struct ItemInfo {
    UINT type = 0, state = 0, id = 0;
    HMENU sub = nullptr;
    std::string text;
};

ItemInfo ReadItem(HMENU menu, UINT position)
{
    char buffer[128] = {};
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_TYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
    mii.dwTypeData = buffer;
    mii.cch = sizeof buffer;
    EXPECT_TRUE(GetMenuItemInfoA(menu, position, TRUE, &mii)) << "position " << position;
    ItemInfo info;
    info.type = mii.fType;
    info.state = mii.fState;
    info.id = mii.wID;
    info.sub = mii.hSubMenu;
    if (!(mii.fType & (MFT_SEPARATOR | MFT_OWNERDRAW))) info.text = buffer;
    return info;
}

}  // namespace

TEST(Menus, CommandNumbersAreUniqueSmallAndReused)
{
    TObjectPtr<TMenuHost> host(new TMenuHost(nullptr));
    auto* menu = new TPopupMenu(host.get());
    std::vector<TMenuItem*> items;
    for (int i = 0; i < 5; ++i) items.push_back(NewItem(host.get(), menu->Items(), "item"));
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_GE(items[i]->Command(), 1);
        EXPECT_LT(items[i]->Command(), 100);
        for (size_t j = 0; j < i; ++j) EXPECT_NE(items[i]->Command(), items[j]->Command());
    }
    const uint16_t freed = items[2]->Command();
    items[2]->Free();
    EXPECT_EQ(menu->Items()->Count(), 4);  // a freed item leaves its menu
    auto* again = NewItem(host.get(), menu->Items(), "again");
    EXPECT_EQ(again->Command(), freed);
}

TEST(Menus, PopupHandleHoldsTheItemsAsWindowsSeesThem)
{
    TObjectPtr<TMenuHost> host(new TMenuHost(nullptr));
    auto* menu = new TPopupMenu(host.get());
    TMenuItem* root = menu->Items();
    auto* plain = NewItem(host.get(), root, AnsiFromWide(L"設定(&O)"));
    auto* line = NewItem(host.get(), root, "-");
    auto* disabled = NewItem(host.get(), root, "Disabled");
    disabled->SetEnabled(false);
    auto* radio = NewItem(host.get(), root, "Radio");
    radio->SetRadioItem(true);
    radio->SetChecked(true);
    auto* deflt = NewItem(host.get(), root, "Default");
    deflt->SetDefault(true);
    deflt->SetBreak(TMenuBreak::mbBarBreak);
    auto* hidden = NewItem(host.get(), root, "Hidden");
    hidden->SetVisible(false);
    auto* save = NewItem(host.get(), root, "&Save");
    save->SetShortCut(scCtrl | 'S');
    auto* sub = NewItem(host.get(), root, "Sub");
    auto* inner = NewItem(host.get(), sub, "Inner");
    inner->SetShortCut(scShift | VK_F5);
    sub->SetShortCut(scCtrl | 'Q');  // an item with sub-items shows no shortcut

    HMENU h = menu->Handle();
    ASSERT_TRUE(IsMenu(h));
    ASSERT_EQ(GetMenuItemCount(h), 7);  // the hidden one is left out

    ItemInfo i0 = ReadItem(h, 0);
    EXPECT_EQ(i0.id, plain->Command());
    EXPECT_EQ(i0.text, AnsiFromWide(L"設定(&O)"));  // the "&" stays
    EXPECT_EQ(i0.type, static_cast<UINT>(MFT_STRING));
    EXPECT_EQ(i0.state, 0u);
    EXPECT_EQ(ReadItem(h, 1).type & MFT_SEPARATOR, static_cast<UINT>(MFT_SEPARATOR));
    EXPECT_EQ(ReadItem(h, 1).id, line->Command());
    EXPECT_EQ(ReadItem(h, 2).state & MFS_GRAYED, static_cast<UINT>(MFS_GRAYED));
    ItemInfo i3 = ReadItem(h, 3);
    EXPECT_TRUE(i3.type & MFT_RADIOCHECK);
    EXPECT_TRUE(i3.state & MFS_CHECKED);
    ItemInfo i4 = ReadItem(h, 4);
    EXPECT_TRUE(i4.state & MFS_DEFAULT);
    EXPECT_TRUE(i4.type & MFT_MENUBARBREAK);
    EXPECT_EQ(ReadItem(h, 5).text, "&Save\tCtrl+S");
    ItemInfo i6 = ReadItem(h, 6);
    EXPECT_EQ(i6.text, "Sub");
    EXPECT_EQ(i6.sub, sub->Handle());
    ASSERT_EQ(GetMenuItemCount(i6.sub), 1);
    ItemInfo inner0 = ReadItem(i6.sub, 0);
    EXPECT_EQ(inner0.id, inner->Command());
    EXPECT_EQ(inner0.text, "Inner\tShift+F5");

    // Changes reach the handle that already exists.
    plain->SetCaption("Renamed");
    EXPECT_EQ(ReadItem(h, 0).text, "Renamed");
    hidden->SetVisible(true);
    EXPECT_EQ(GetMenuItemCount(h), 8);
    line->Free();
    EXPECT_EQ(GetMenuItemCount(h), 7);
    inner->Free();
    EXPECT_EQ(ReadItem(h, 6).sub, nullptr);  // no sub-items left
    EXPECT_EQ(ReadItem(h, 6).text, "Sub\tCtrl+Q");

    // Owner drawing: for the whole menu, or for an item with a bitmap.
    save->Bitmap()->SetSize(4, 4);
    EXPECT_TRUE(ReadItem(h, 5).type & MFT_OWNERDRAW);
    EXPECT_FALSE(ReadItem(h, 0).type & MFT_OWNERDRAW);
    menu->SetOwnerDraw(true);
    EXPECT_TRUE(ReadItem(h, 0).type & MFT_OWNERDRAW);
    EXPECT_TRUE(save->IsOwnerDrawn());
    menu->SetOwnerDraw(false);
    auto images = std::make_unique<TComponent>(nullptr);
    menu->SetImages(images.get());
    EXPECT_TRUE(ReadItem(h, 0).type & MFT_OWNERDRAW);
    images.reset();  // freed: the menu lets go
    EXPECT_EQ(menu->Images(), nullptr);
    EXPECT_FALSE(ReadItem(h, 0).type & MFT_OWNERDRAW);
}

TEST(Menus, MainMenuTopLevelItemsShowNoShortcut)
{
    TObjectPtr<TMenuHost> host(new TMenuHost(nullptr));
    auto* bar = new TMainMenu(host.get());
    auto* file = NewItem(host.get(), bar->Items(), "File");
    file->SetShortCut(scCtrl | 'F');
    auto* top = NewItem(host.get(), bar->Items(), "Top");
    top->SetShortCut(scCtrl | 'T');
    auto* open = NewItem(host.get(), file, "Open");
    open->SetShortCut(scCtrl | 'O');
    EXPECT_EQ(top->MenuText(), "Top");
    EXPECT_EQ(open->MenuText(), "Open\tCtrl+O");
    EXPECT_EQ(open->GetParentMenu(), bar);
    EXPECT_TRUE(IsInstance<TMainMenu>(open->GetParentMenu()));
    EXPECT_EQ(open->Parent(), file);
    EXPECT_EQ(file->Parent(), bar->Items());
    EXPECT_TRUE(bar->Items()->IsMenuRoot());
    EXPECT_TRUE(IsMenu(bar->Handle()));
    EXPECT_EQ(ReadItem(bar->Handle(), 1).text, "Top");
}

TEST(Menus, ErrorsOnABrokenTree)
{
    TObjectPtr<TMenuHost> host(new TMenuHost(nullptr));
    auto* menu = new TPopupMenu(host.get());
    auto* a = NewItem(host.get(), menu->Items(), "a");
    auto* b = NewItem(host.get(), a, "b");
    EXPECT_THROW(menu->Items()->Add(b), EMenuError);  // already in a menu
    EXPECT_THROW(b->Add(a), EMenuError);              // its own ancestor
    auto* loose = new TMenuItem(host.get());
    EXPECT_THROW(a->Insert(5, loose), EMenuError);
    EXPECT_THROW(a->Remove(loose), EMenuError);
    EXPECT_THROW(a->Items(3), EMenuError);
    EXPECT_EQ(a->Count(), 1);

    // A menu freed before its items takes them along, though the host owns them.
    menu->Free();
    ASSERT_EQ(host->ComponentCount(), 1);
    EXPECT_EQ(host->Components(0), loose);

    // Deleted without Free, an item still leaves its menu, and its sub-items stay with their
    // owner, out of any tree; a menu deleted so leaves the popup list.
    const size_t menus = PopupList()->Menus().size();
    auto* other = new TPopupMenu(host.get());
    auto* c = NewItem(host.get(), other->Items(), "c");
    auto* d = NewItem(host.get(), c, "d");
    NewItem(host.get(), other->Items(), "e");
    ASSERT_EQ(GetMenuItemCount(other->Handle()), 2);
    delete c;
    EXPECT_EQ(other->Items()->Count(), 1);
    EXPECT_EQ(GetMenuItemCount(other->Handle()), 1);
    EXPECT_EQ(d->Parent(), nullptr);
    EXPECT_EQ(d->Owner(), host.get());
    EXPECT_EQ(PopupList()->Menus().size(), menus + 1);
    delete other;
    EXPECT_EQ(PopupList()->Menus().size(), menus);
}

TEST(Menus, DispatchByNumberClicksOnce)
{
    TObjectPtr<TMenuHost> host(new TMenuHost(nullptr));
    auto* menu = new TPopupMenu(host.get());
    auto* first = NewItem(host.get(), menu->Items(), "First");
    first->SetName("First");
    auto* sub = NewItem(host.get(), menu->Items(), "Sub");
    auto* deep = NewItem(host.get(), sub, "Deep");
    deep->SetName("Deep");
    deep->SetShortCut(scAlt | 'D');
    first->OnClick.Bind(host.get(), &TMenuHost::ItemClick);
    deep->OnClick.Bind(host.get(), &TMenuHost::ItemClick);

    EXPECT_TRUE(menu->DispatchCommand(deep->Command()));
    EXPECT_EQ(host->clicks, std::vector<std::string>{"Deep"});
    EXPECT_TRUE(menu->DispatchCommand(first->Command()));
    EXPECT_EQ(host->clicks.size(), 2u);

    // Found but disabled: answered, not clicked.
    first->SetEnabled(false);
    EXPECT_TRUE(menu->DispatchCommand(first->Command()));
    EXPECT_EQ(host->clicks.size(), 2u);
    EXPECT_FALSE(menu->DispatchCommand(0xFFFE));

    EXPECT_EQ(menu->FindItem(scAlt | 'D', TFindItemKind::fkShortCut), deep);
    EXPECT_EQ(menu->FindItem(reinterpret_cast<uintptr_t>(sub->Handle()), TFindItemKind::fkHandle), sub);
    EXPECT_EQ(menu->FindItem(first->Command(), TFindItemKind::fkCommand), first);

    // Commands sent to the popup list's window reach the item the same way.
    SendMessageW(PopupList()->Window(), WM_COMMAND, deep->Command(), 0);
    EXPECT_EQ(host->clicks.size(), 3u);
}

namespace {
UINT keysSent = 0;
void CALLBACK ChooseSecondItem(HWND, UINT, UINT_PTR id, DWORD)
{
    // The menu's own loop runs this: choose with the keyboard as a user would.
    HWND menuWindow = FindWindowW(L"#32768", nullptr);
    if (!menuWindow || !IsWindowVisible(menuWindow)) return;
    KillTimer(nullptr, id);
    for (WPARAM key : {WPARAM{VK_DOWN}, WPARAM{VK_DOWN}, WPARAM{VK_RETURN}}) {
        PostMessageW(menuWindow, WM_KEYDOWN, key, 1);
        PostMessageW(menuWindow, WM_KEYUP, key, 0xC0000001);
        ++keysSent;
    }
}
}  // namespace

TEST(Menus, PopupRoutesTheChosenCommandBackToTheItem)
{
    // On the thread that shows the menu, whichever it is: the band library serves bands on
    // several threads of the shell, and a menu's owner window must be of the showing thread.
    const auto popupAndChoose = [] {
        TObjectPtr<TMenuHost> host(new TMenuHost(nullptr));
        auto* menu = new TPopupMenu(host.get());
        auto* one = NewItem(host.get(), menu->Items(), "One");
        one->SetName("One");
        auto* two = NewItem(host.get(), menu->Items(), "Two");
        two->SetName("Two");
        one->OnClick.Bind(host.get(), &TMenuHost::ItemClick);
        two->OnClick.Bind(host.get(), &TMenuHost::ItemClick);
        int popups = 0;
        struct Counter : TComponent {
            using TComponent::TComponent;
            int* n = nullptr;
            void Popped(TObject*) { ++*n; }
        } counter(nullptr);
        counter.n = &popups;
        menu->OnPopup.Bind(&counter, &Counter::Popped);

        EXPECT_EQ(GetWindowThreadProcessId(PopupList()->Window(), nullptr), GetCurrentThreadId());
        keysSent = 0;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, &ChooseSecondItem);
        EXPECT_NE(timer, 0u);
        menu->Popup(100, 100);
        KillTimer(nullptr, timer);
        EXPECT_EQ(popups, 1);
        EXPECT_EQ(menu->PopupPoint().x, 100);
        EXPECT_GT(keysSent, 0u) << "the menu never showed";
        EXPECT_TRUE(testenv::PumpUntil([&] { return !host->clicks.empty(); }, 5000));
        return host->clicks;
    };
    EXPECT_EQ(popupAndChoose(), std::vector<std::string>{"Two"});
    // This thread pumps meanwhile, as a shell's other band threads do.
    std::vector<std::string> clicksOnOtherThread;
    std::atomic<bool> done{false};
    std::thread other([&] {
        clicksOnOtherThread = popupAndChoose();
        done = true;
    });
    testenv::PumpUntil([&] { return done.load(); }, 20000);
    other.join();
    EXPECT_EQ(clicksOnOtherThread, std::vector<std::string>{"Two"});
}

TEST(Menus, OwnerDrawnItemsMeasuredAndDrawnThroughThePopupList)
{
    TObjectPtr<TMenuHost> host(new TMenuHost(nullptr));
    auto* menu = new TPopupMenu(host.get());
    menu->SetOwnerDraw(true);
    auto* item = NewItem(host.get(), menu->Items(), "Measured item");
    auto* other = NewItem(host.get(), menu->Items(), "x");
    HWND window = PopupList()->Window();

    MEASUREITEMSTRUCT mis{};
    mis.CtlType = ODT_MENU;
    mis.itemID = item->Command();
    ASSERT_EQ(SendMessageW(window, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis)), 1);
    MEASUREITEMSTRUCT shortMis{};
    shortMis.CtlType = ODT_MENU;
    shortMis.itemID = other->Command();
    SendMessageW(window, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&shortMis));
    EXPECT_GT(mis.itemWidth, shortMis.itemWidth);  // a longer caption needs more room
    EXPECT_GT(mis.itemHeight, 0u);

    // Drawn selected: the highlight colour fills the item.
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 200;
    bi.bmiHeader.biHeight = 30;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bmp);
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_MENU;
    dis.itemID = item->Command();
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = ODS_SELECTED;
    dis.hDC = dc;
    dis.rcItem = {0, 0, 200, 30};
    ASSERT_EQ(SendMessageW(window, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis)), 1);
    EXPECT_EQ(GetPixel(dc, 199, 29), GetSysColor(COLOR_HIGHLIGHT));
    // The caption left ink of another colour in the text area.
    int inked = 0;
    for (int x = 24; x < 199; ++x)
        for (int y = 0; y < 30; ++y)
            if (GetPixel(dc, x, y) != GetSysColor(COLOR_HIGHLIGHT)) ++inked;
    EXPECT_GT(inked, 0);

    // An item with a drawing handler of its own is left to it.
    struct Drawer : TComponent {
        using TComponent::TComponent;
        int calls = 0;
        UINT state = 0;
        void Draw(TObject*, TCanvas* canvas, const RECT& r, UINT s)
        {
            ++calls;
            state = s;
            canvas->Brush()->SetColor(clLime);
            canvas->FillRect(r);
        }
    } drawer(nullptr);
    item->OnAdvancedDrawItem.Bind(&drawer, &Drawer::Draw);
    dis.itemState = ODS_GRAYED;
    SendMessageW(window, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
    EXPECT_EQ(drawer.calls, 1);
    EXPECT_EQ(drawer.state, static_cast<UINT>(ODS_GRAYED));
    EXPECT_EQ(GetPixel(dc, 100, 15), RGB(0, 255, 0));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);

    // Items of other menus, and other controls' owner drawing, are not the list's.
    dis.itemID = 0xFFFE;
    EXPECT_EQ(SendMessageW(window, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis)), 0);
}

TEST(Menus, ShortCutTextAndLocale)
{
    EXPECT_EQ(ShortCutToText(scCtrl | 'S'), "Ctrl+S");
    EXPECT_EQ(ShortCutToText(scShift | VK_F5), "Shift+F5");
    EXPECT_EQ(ShortCutToText(scAlt | VK_RETURN), "Alt+Enter");
    EXPECT_EQ(ShortCutToText(scShift | scCtrl | VK_DELETE), "Shift+Ctrl+Del");
    EXPECT_EQ(ShortCutToText(VK_NUMPAD7), "7");
    EXPECT_EQ(ShortCutToText(VK_F24), "F24");
    EXPECT_EQ(ShortCutToText(VK_DOWN), "Down");
    EXPECT_EQ(ShortCutToText(scCtrl | 0x07), "");  // an unassigned key has no name, nor modifiers
    EXPECT_EQ(ShortCutModifiersText(scAlt | scShift), "Shift+Alt+");

    // Code page 932 has lead bytes: Far East, not Middle East, so menus stay left to right.
    EXPECT_TRUE(SysLocale().FarEast);
    EXPECT_FALSE(SysLocale().MiddleEast);
    TPopupMenu menu(nullptr);
    menu.SetBiDiMode(TBiDiMode::bdRightToLeft);
    EXPECT_FALSE(menu.IsRightToLeft());
}

TEST(Menus, ReadFromFormTextWithNestedItemsAndActions)
{
    RegisterClassRecords({&TActionList::StaticClass(), &TAction::StaticClass(), &TPopupMenu::StaticClass(),
                          &TMenuItem::StaticClass()});
    const std::string text = R"(object Host: TMenuHost
  object ActionList1: TActionList
    object ActionOption1: TAction
      Caption = 'Palvenorの設定(&O)'
      Hint = 'options'
      OnExecute = OptionExecute
    end
  end
  object PopupMenu1: TPopupMenu
    object O1: TMenuItem
      Action = ActionOption1
    end
    object N1: TMenuItem
      Caption = '-'
    end
    object Sub1: TMenuItem
      Caption = 'Sub'
      object Inner1: TMenuItem
        Caption = 'Inner'
        ShortCut = 16467
        OnClick = ItemClick
      end
    end
  end
end
)";
    TObjectPtr<TMenuHost> host(new TMenuHost(nullptr));
    TMemoryStream stream(ObjectTextToBinary(text));
    ReadBinaryComponent(stream, host.get());
    ASSERT_NE(host->PopupMenu1, nullptr);
    TMenuItem* root = host->PopupMenu1->Items();
    ASSERT_EQ(root->Count(), 3);
    EXPECT_EQ(root->Items(0), host->O1);
    EXPECT_EQ(root->Items(1)->Name(), "N1");
    ASSERT_EQ(root->Items(2)->Count(), 1);
    EXPECT_EQ(root->Items(2)->Items(0), host->Inner1);
    EXPECT_EQ(host->Inner1->ShortCut(), scCtrl | 'S');
    // The item takes the action's texts.
    EXPECT_EQ(host->O1->Action(), host->ActionOption1);
    EXPECT_EQ(host->O1->Caption(), AnsiFromWide(L"Palvenorの設定(&O)"));
    EXPECT_EQ(host->O1->Hint(), "options");
    EXPECT_EQ(host->O1->GetParentComponent(), host->PopupMenu1);

    EXPECT_TRUE(host->PopupMenu1->DispatchCommand(host->O1->Command()));
    EXPECT_TRUE(host->PopupMenu1->DispatchCommand(host->Inner1->Command()));
    EXPECT_EQ(host->clicks, (std::vector<std::string>{"execute:ActionOption1", "Inner1"}));

    // Written back: the tree and order survive, and a caption that follows the action is not
    // written for the item.
    TMemoryStream out;
    WriteComponentToStream(out, host.get());
    const std::string bytes = out.Bytes();
    const size_t o1 = bytes.find("O1");
    const size_t n1 = bytes.find("N1");
    ASSERT_NE(o1, std::string::npos);
    EXPECT_EQ(bytes.substr(o1, n1 - o1).find("Caption"), std::string::npos);
    TObjectPtr<TMenuHost> copy(new TMenuHost(nullptr));
    out.SetPosition(0);
    ReadBinaryComponent(out, copy.get());
    ASSERT_EQ(copy->PopupMenu1->Items()->Count(), 3);
    EXPECT_EQ(copy->PopupMenu1->Items()->Items(2)->Items(0)->Caption(), "Inner");
    EXPECT_EQ(copy->O1->Caption(), AnsiFromWide(L"Palvenorの設定(&O)"));
}
