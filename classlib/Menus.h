#pragma once
// Menus: menu items with process-unique command numbers, popup and main menus built into
// Windows menu handles, and the popup list whose window receives the commands of popup menus
// and hands them back to the item by number.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ActnList.h"
#include "Classes.h"
#include "Graphics.h"
#include "Messages.h"

KERVO_EXCEPTION(EMenuError, Exception)

class TMenu;
class TMenuItem;
class TPopupMenu;

// ---------------------------------------------------------------------------------------------
// Shortcuts and locale

// "Ctrl+S", "Shift+F5", "Alt+Enter": the modifiers, then the key's name; the empty string for a
// key without a name (no modifiers either).
std::string ShortCutToText(TShortCut shortCut);
// The modifier part alone, in the order Shift, Ctrl, Alt.
std::string ShortCutModifiersText(TShortCut shortCut);

// Locale traits decided once at start: a Far East system has a double-byte ANSI code page; a
// Middle East system supports right-to-left text (no lead bytes, and a right-to-left character
// among the code page's characters 128 to 255).
struct TSysLocale {
    bool FarEast = false;
    bool MiddleEast = false;
};
const TSysLocale& SysLocale();

enum class TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
enum class TMenuBreak { mbNone, mbBreak, mbBarBreak };
enum class TPopupAlignment { paLeft, paRight, paCenter };
enum class TFindItemKind { fkCommand, fkHandle, fkShortCut };

// ---------------------------------------------------------------------------------------------
// Action link of menu items: a property follows the action while the item still shows the
// action's value (captions compared without hot-key marks and without regard to case).

class TMenuActionLink : public TActionLink {
    KERVO_CLASS(TMenuActionLink, TActionLink)
public:
    explicit TMenuActionLink(TMenuItem* client);
    TMenuItem* MenuItem() const;

    bool CaptionFollowsAction() override;
    bool HintFollowsAction() override;
    bool EnabledFollowsAction() override;
    bool CheckedFollowsAction() override;
    bool VisibleFollowsAction() override;
    bool ShortCutFollowsAction() override;
    void CopyCaptionToClient(const std::string& value) override;
    void CopyHintToClient(const std::string& value) override;
    void CopyEnabledToClient(bool value) override;
    void CopyCheckedToClient(bool value) override;
    void CopyVisibleToClient(bool value) override;
    void CopyShortCutToClient(TShortCut value) override;
};

// Captions equal apart from "&" hot-key marks, without regard to case.
bool SameCaption(const std::string& a, const std::string& b);

// ---------------------------------------------------------------------------------------------
// Menu item

using TMenuMeasureItemEvent = TEvent<void(TObject* sender, TCanvas* canvas, int& width, int& height)>;
// state: the ODS_ flags of the drawing request.
using TMenuDrawItemEvent = TEvent<void(TObject* sender, TCanvas* canvas, const RECT& rect, UINT state)>;

class TMenuItem : public TComponent {
    KERVO_CLASS(TMenuItem, TComponent)
public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;

    // The text as shown; "-" alone makes a separator; "&" marks stay as written.
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    bool IsLine() const { return caption_ == "-"; }
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);

    // The item's number in the Windows menu and in WM_COMMAND: unique in the process while the
    // item lives, at least 1, reused after it goes.
    uint16_t Command() const { return command_; }

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool RadioItem() const { return radioItem_; }
    void SetRadioItem(bool value);
    TMenuBreak Break() const { return break_; }
    void SetBreak(TMenuBreak value);
    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(TShortCut shortCut);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);
    // The item's bitmap, made empty on first use; HasBitmap tells whether it holds an image.
    TBitmap* Bitmap();
    void SetBitmap(TBitmap* bitmap);
    bool HasBitmap() const;

    // Sub-items.
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const;
    int IndexOf(const TMenuItem* item) const;
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    void Remove(TMenuItem* item);
    void Delete(int index);
    // Frees every sub-item.
    void Clear();

    TMenuItem* Parent() const { return parent_; }
    // The menu at the root of this item's tree, or null.
    TMenu* GetParentMenu() const;
    // Whether this is the root item of a menu.
    bool IsMenuRoot() const { return menu_ != nullptr; }

    // The item's own Windows menu, holding its visible sub-items (made on first use and kept up
    // to date afterwards).
    HMENU Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }

    // Caption, and after a tab the shortcut's text when the item has no sub-items and is not a
    // top-level item of a main menu.
    std::string MenuText() const;
    // Drawn by its owner: its menu is owner-drawn or has images, or it has a bitmap.
    bool IsOwnerDrawn() const;
    // Appends the item to a Windows menu under the identifier id, with its text, type, state and
    // sub-menu: false when Windows refuses it. Its own menus use its command number as the id.
    bool InsertInto(HMENU menu, UINT id, bool rightToLeft);

    TBasicAction* Action() const;
    void SetAction(TBasicAction* action);
    TMenuActionLink* ActionLink() const { return actionLink_.get(); }

    TNotifyEvent OnClick;
    TMenuMeasureItemEvent OnMeasureItem;
    TMenuDrawItemEvent OnAdvancedDrawItem;

    // While enabled: OnClick when it is set and is not the action's own handler, else the
    // action through the link.
    virtual void Click();

    // Owner drawing: the size the item needs, and drawing it.
    virtual void Measure(TCanvas* canvas, int& width, int& height);
    virtual void AdvancedDraw(TCanvas* canvas, const RECT& rect, UINT state, bool topLevel);

    // A property changed: the Windows menu that shows the item is brought up to date.
    virtual void ItemChanged(bool rebuild);
    // The link class of menu items.
    virtual TMenuActionLink* CreateActionLink();
    // Takes the action's properties; with checkDefaults only where the item still has its
    // default value.
    virtual void ActionChanged(TBasicAction* action, bool checkDefaults);

    void DestructionStarting() override;
    void ComponentNotification(TComponent* component, TOperation operation) override;
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* parent) override;
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;

protected:
    // Appends the item to its parent's Windows menu; a descendant may write more of it.
    virtual void AppendTo(HMENU menu);

private:
    friend class TMenu;
    // Out of the parent's sub-items, and the own sub-items freed (only while the whole item
    // lives) or let go of.
    void LeaveTree(bool freeSubItems);
    void RebuildHandle();
    void PopulateMenu();
    void ReleaseHandle();
    bool CaptionStored() const;
    bool HintStored() const;
    bool EnabledStored() const;
    bool CheckedStored() const;
    bool VisibleStored() const;
    bool ShortCutStored() const;

    std::string caption_;
    std::string hint_;
    uint16_t command_;
    bool visible_ = true;
    bool enabled_ = true;
    bool checked_ = false;
    bool default_ = false;
    bool radioItem_ = false;
    TMenuBreak break_ = TMenuBreak::mbNone;
    TShortCut shortCut_ = 0;
    int imageIndex_ = -1;
    TObjectPtr<TBitmap> bitmap_;
    std::vector<TMenuItem*> items_;
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr;  // set on a menu's root item
    HMENU handle_ = nullptr;
    TObjectPtr<TMenuActionLink> actionLink_;
};

// ---------------------------------------------------------------------------------------------
// Menus

class TMenu : public TComponent {
    KERVO_CLASS(TMenu, TComponent)
public:
    explicit TMenu(TComponent* owner);

    // The root item, whose sub-items are the menu's items.
    TMenuItem* Items() const { return items_; }
    HMENU Handle() { return items_->Handle(); }

    bool OwnerDraw() const { return ownerDraw_; }
    void SetOwnerDraw(bool value);
    // An image list component for the items; the menu only asks whether there is one.
    TComponent* Images() const { return images_; }
    void SetImages(TComponent* images);
    TBiDiMode BiDiMode() const { return biDiMode_; }
    void SetBiDiMode(TBiDiMode mode);
    // Right to left: a Middle East system and a mode other than left to right.
    bool IsRightToLeft() const;

    // Runs the item with this command number (its Click): true when one was found.
    bool DispatchCommand(uint16_t command);
    TMenuItem* FindItem(uint32_t value, TFindItemKind kind = TFindItemKind::fkCommand) const;

    void ComponentNotification(TComponent* component, TOperation operation) override;
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;

protected:
    friend class TMenuItem;
    // A new, empty Windows menu for the root item.
    virtual HMENU CreateMenuHandle();

private:
    // Every Windows menu of the tree made anew (item types depend on the menu's settings).
    static void RebuildItems(TMenuItem* item);

    TMenuItem* items_;
    bool ownerDraw_ = false;
    TComponent* images_ = nullptr;
    TBiDiMode biDiMode_ = TBiDiMode::bdLeftToRight;
};

// A menu bar; its top-level items show no shortcut text.
class TMainMenu : public TMenu {
    KERVO_CLASS(TMainMenu, TMenu)
public:
    explicit TMainMenu(TComponent* owner) : TMenu(owner) {}

    // The window whose menu bar this is (set by the form that shows it; null: none), for
    // redrawing the bar after a change of a top-level item.
    HWND WindowHandle() const { return window_; }
    void SetWindowHandle(HWND window) { window_ = window; }

protected:
    HMENU CreateMenuHandle() override;

private:
    HWND window_ = nullptr;
};

class TPopupList;

class TPopupMenu : public TMenu {
    KERVO_CLASS(TPopupMenu, TMenu)
public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;

    TPopupAlignment Alignment() const { return alignment_; }
    void SetAlignment(TPopupAlignment value) { alignment_ = value; }
    // Before the menu shows.
    TNotifyEvent OnPopup;

    // Shows the menu at the screen point and returns when it closes; the chosen item's command
    // reaches the popup list's window and runs the item when that message is dispatched.
    virtual void Popup(int x, int y);
    POINT PopupPoint() const { return popupPoint_; }

    void DestructionStarting() override;

private:
    void LeavePopupList();

    TPopupAlignment alignment_ = TPopupAlignment::paLeft;
    POINT popupPoint_{-1, -1};
    TPopupList* list_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Popup list: the popup menus of the process and, for each thread that shows them, the window
// that owns them while they show. Shared by the threads of the process (Threading.h): a menu and
// a window belong to the thread that made them, and each window serves its own thread's menus.

class TPopupList : public TObject {
    KERVO_CLASS(TPopupList, TObject)
public:
    TPopupList() = default;
    ~TPopupList() override;

    void Add(TPopupMenu* menu);
    void Remove(TPopupMenu* menu);
    // The calling thread's menus.
    std::vector<TPopupMenu*> Menus() const;

    // The calling thread's hidden window, made when it first asks: the owner of a menu that
    // shows must be a window of the thread that shows it.
    HWND Window();

protected:
    // WM_COMMAND of a menu runs the item by number; WM_MEASUREITEM and WM_DRAWITEM of menus go
    // to the item; the rest to DefaultHandler.
    virtual void HandleWindowMessage(TMessage& message);
    // The default window procedure of the window the message came to.
    void DefaultHandler(TMessage& message);

private:
    struct MenuEntry {
        TPopupMenu* Menu;
        DWORD Thread;
    };
    // A thread's window, whose procedure hands the list each message with the window it came to.
    struct ThreadWindow {
        TPopupList* List;
        DWORD Thread;
        HWND Window;
        void WndProc(TMessage& message);
    };

    TMenuItem* FindItem(uint32_t command) const;
    bool Holds(TPopupMenu* menu) const;

    mutable std::mutex lock_;  // over the two lists
    std::vector<MenuEntry> menus_;
    std::vector<std::unique_ptr<ThreadWindow>> windows_;
};

// The popup list in force (the library's own unless another was set), and its replacement
// (null: the library's own again). Menus join the list in force when they are made.
TPopupList* PopupList();
void SetPopupList(TPopupList* list);
