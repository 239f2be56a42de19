#pragma once
// Small component classes shaped like the ones the forms use (controls with a parent, a font
// sub-object, wide items with defined sub-properties, menus, references and events), for the
// tests of the class library core.
#include <string>
#include <vector>

#include "Classes.h"
#include "Filer.h"
#include "FormText.h"

// Records what happens, in order, so that tests can check sequences.
std::vector<std::string>& Journal();

enum TSampleAlign { alNone, alTop, alClient };
enum TSampleFontStyle { fsBold, fsItalic, fsUnderline };
using TSampleFontStyles = TSmallSet<TSampleFontStyle>;

extern const TIdentMap SampleColorIdents;  // clBlack 0, clBtnFace 0xFF00000F, ...

class TSampleFont : public TPersistent {
    KERVO_CLASS(TSampleFont, TPersistent)
public:
    std::string Name = "Tahoma";
    int32_t Height = -11;
    int32_t Color = 0;
    TSampleFontStyles Style;
    bool NameStored() const { return Name != "Tahoma"; }
    void CopyFrom(TPersistent* source) override;
};

// A wide list storing its items as the defined sub-properties "Strings" (read only, ANSI) and
// "WideStrings", and a design-time-only "WideStringsW".
class TSampleItems : public TPersistent {
    KERVO_CLASS(TSampleItems, TPersistent)
public:
    std::vector<std::wstring> Items;
    void DefineStreamedProperties(TFiler& filer) override;
    void CopyFrom(TPersistent* source) override;
    int ListReads = 0;  // how often a list reader ran
};

class TSampleColumn : public TCollectionItem {
    KERVO_CLASS(TSampleColumn, TCollectionItem)
public:
    std::wstring Title;
    int32_t Width = 64;
    void CopyFrom(TPersistent* source) override;
};

class TSampleMenu;

class TSampleControl : public TComponent {
    KERVO_CLASS(TSampleControl, TComponent)
public:
    explicit TSampleControl(TComponent* owner);
    ~TSampleControl() override;

    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    std::string Caption;
    std::wstring Hint;
    bool Visible = true;
    TSampleAlign Align = alNone;
    int64_t Serial = 0;
    TSampleFont* Font() const { return font_; }
    TCollection* Columns() const { return columns_; }
    TSampleMenu* PopupMenu = nullptr;
    std::string Glyph;  // binary data, as the defined property "Glyph.Data"
    TNotifyEvent OnClick;
    TEvent<void(TObject* sender, uint16_t& key, int shift)> OnKeyDown;

    TSampleControl* Parent() const { return parent_; }
    bool ParentSetBeforeProperties = false;  // parent known when the first property arrived
    bool HintStored() const { return !Hint.empty() && Hint != L"-"; }
    void SetLeft(int32_t v);

    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* parent) override;
    void DefineStreamedProperties(TFiler& filer) override;
    void ComponentNotification(TComponent* component, TOperation operation) override;
    void AfterLoad() override;

private:
    TSampleControl* parent_ = nullptr;
    TSampleFont* font_;
    TCollection* columns_;
};

// A combo box that keeps a streamed ItemIndex until the resource has been read whole, since the
// index comes before the items in the resource.
class TSampleCombo : public TSampleControl {
    KERVO_CLASS(TSampleCombo, TSampleControl)
public:
    using TSampleControl::TSampleControl;
    ~TSampleCombo() override;
    TSampleItems* Items() const { return items_; }
    void SetItems(TSampleItems* items) { items_->Assign(items); }
    int32_t ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int32_t index);
    std::wstring Text;
    void AfterLoad() override;

private:
    TSampleItems* items_ = Make<TSampleItems>();
    int32_t itemIndex_ = -1;
    int32_t pendingIndex_ = -1;
};

class TSampleMenuItem : public TComponent {
    KERVO_CLASS(TSampleMenuItem, TComponent)
public:
    using TComponent::TComponent;
    std::string Caption;
    TSampleMenu* Menu = nullptr;
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* parent) override;
};

class TSampleMenu : public TComponent {
    KERVO_CLASS(TSampleMenu, TComponent)
public:
    using TComponent::TComponent;
    std::vector<TSampleMenuItem*> Items;
    void ComponentNotification(TComponent* component, TOperation operation) override;
};

// The form: published fields, methods bound by name, a menu reference cleared when the menu goes.
class TSampleForm : public TSampleControl {
    KERVO_CLASS(TSampleForm, TSampleControl)
public:
    using TSampleControl::TSampleControl;

    TSampleControl* Panel1 = nullptr;
    TSampleControl* Button1 = nullptr;
    TSampleCombo* Combo1 = nullptr;
    TSampleMenu* Menu1 = nullptr;
    TSampleControl* ActiveControl = nullptr;
    TSampleMenu* ContextMenu() const { return contextMenu_; }
    void SetContextMenu(TSampleMenu* menu);
    TNotifyEvent OnCreate;

    void ButtonClick(TObject* sender);
    void ComboKeyDown(TObject* sender, uint16_t& key, int shift);
    void FormCreate(TObject* sender);
    void ComponentNotification(TComponent* component, TOperation operation) override;
    void AfterLoad() override;
    std::string ActiveAtAfterLoad;  // the active control's name as AfterLoad saw it

private:
    TSampleMenu* contextMenu_ = nullptr;
};

// Binary of a component, and a component read from binary into a fresh root of class T.
std::string WriteBinary(TComponent* root, TComponent* ancestor = nullptr);
void RegisterSampleClasses();
// The text of the embedded test form (RCDATA "TSAMPLEFORM").
std::string SampleFormText();
// Reads a resource (binary or text) into a new form; the caller frees it.
TSampleForm* LoadForm(const std::string& resource);
