#include "SampleClasses.h"

#include <algorithm>

std::vector<std::string>& Journal()
{
    static std::vector<std::string> journal;
    return journal;
}

const TIdentMap SampleColorIdents = {
    {0, "clBlack"}, {static_cast<int32_t>(0xFF00000F), "clBtnFace"}, {0xFFFFFF, "clWhite"}};

namespace {
std::wstring FromUtf8(const std::string& s)
{
    std::wstring out(s.size(), L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(),
                                static_cast<int>(out.size()));
    out.resize(static_cast<size_t>(n > 0 ? n : 0));
    return out;
}
}  // namespace

KERVO_CLASS_RECORD(TSampleFont)
{
    b.String("Name", &TSampleFont::Name).Stored(&TSampleFont::NameStored);
    b.Integer("Height", &TSampleFont::Height).Default(-11);
    b.Integer("Color", &TSampleFont::Color).Default(0).Idents(&SampleColorIdents);
    b.Set("Style", &TSampleFont::Style, &TSampleFont::Style, {"fsBold", "fsItalic", "fsUnderline"})
        .Default(TSampleFontStyles{});
}

void TSampleFont::CopyFrom(TPersistent* source)
{
    if (!IsInstance<TSampleFont>(source)) return TPersistent::CopyFrom(source);
    auto* f = static_cast<TSampleFont*>(source);
    Name = f->Name;
    Height = f->Height;
    Color = f->Color;
    Style = f->Style;
}

KERVO_CLASS_RECORD(TSampleItems) {}

void TSampleItems::DefineStreamedProperties(TFiler& filer)
{
    auto readList = [this](TReader& r) {
        ++ListReads;
        Items.clear();
        r.ReadListBegin();
        while (!r.EndOfList()) Items.push_back(r.ReadWideString());
        r.ReadListEnd();
    };
    auto writeList = [this](TWriter& w) {
        w.WriteListBegin();
        for (const std::wstring& item : Items) w.WriteWideString(item);
        w.WriteListEnd();
    };
    // Shadow values in UTF-8 apply only in design state; at run time they are read and dropped.
    auto readShadow = [this](TReader& r) {
        const bool apply = r.Owner() && r.Owner()->IsDesigning();
        std::vector<std::wstring> values;
        r.ReadListBegin();
        while (!r.EndOfList()) values.push_back(FromUtf8(r.ReadString()));
        r.ReadListEnd();
        if (apply) Items = values;
    };
    bool hasData = !Items.empty();
    if (IsInstance<TSampleItems>(filer.Ancestor())) {
        hasData = static_cast<TSampleItems*>(filer.Ancestor())->Items != Items;
    }
    filer.DefineProperty("Strings", readList, nullptr, false);
    filer.DefineProperty("WideStrings", readList, writeList, hasData);
    filer.DefineProperty("WideStringsW", readShadow, nullptr, false);
}

void TSampleItems::CopyFrom(TPersistent* source)
{
    if (!IsInstance<TSampleItems>(source)) return TPersistent::CopyFrom(source);
    Items = static_cast<TSampleItems*>(source)->Items;
}

KERVO_CLASS_RECORD(TSampleColumn)
{
    b.WideString("Title", &TSampleColumn::Title);
    b.Integer("Width", &TSampleColumn::Width).Default(64);
}

void TSampleColumn::CopyFrom(TPersistent* source)
{
    if (!IsInstance<TSampleColumn>(source)) return TPersistent::CopyFrom(source);
    Title = static_cast<TSampleColumn*>(source)->Title;
    Width = static_cast<TSampleColumn*>(source)->Width;
}

KERVO_CLASS_RECORD(TSampleControl)
{
    b.Integer("Left", &TSampleControl::Left, &TSampleControl::SetLeft);
    b.Integer("Top", &TSampleControl::Top);
    b.Integer("Width", &TSampleControl::Width);
    b.Integer("Height", &TSampleControl::Height);
    b.String("Caption", &TSampleControl::Caption);
    b.WideString("Hint", &TSampleControl::Hint).Stored(&TSampleControl::HintStored);
    b.Boolean("Visible", &TSampleControl::Visible).Default(true);
    b.Enum("Align", &TSampleControl::Align, &TSampleControl::Align, {"alNone", "alTop", "alClient"}).Default(alNone);
    b.Int64("Serial", &TSampleControl::Serial, &TSampleControl::Serial).Default(0);
    b.Object("Font", &TSampleControl::Font);
    b.Object("Columns", &TSampleControl::Columns);
    b.Object("PopupMenu", &TSampleControl::PopupMenu, &TSampleControl::PopupMenu);
    b.Event("OnClick", &TSampleControl::OnClick);
    b.Event("OnKeyDown", &TSampleControl::OnKeyDown);
}

TSampleControl::TSampleControl(TComponent* owner)
    : TComponent(owner), font_(Make<TSampleFont>()), columns_(Make<TCollection>(TSampleColumn::StaticClass()))
{
}

TSampleControl::~TSampleControl()
{
    font_->Free();
    columns_->Free();
}

void TSampleControl::SetLeft(int32_t v)
{
    if (IsReading()) ParentSetBeforeProperties = parent_ != nullptr;
    Left = v;
}

TComponent* TSampleControl::GetParentComponent() const { return parent_; }

void TSampleControl::SetParentComponent(TComponent* parent)
{
    parent_ = IsInstance<TSampleControl>(parent) ? static_cast<TSampleControl*>(parent) : nullptr;
}

void TSampleControl::DefineStreamedProperties(TFiler& filer)
{
    TComponent::DefineStreamedProperties(filer);
    const bool hasData = IsInstance<TSampleControl>(filer.Ancestor())
                             ? Glyph != static_cast<TSampleControl*>(filer.Ancestor())->Glyph
                             : !Glyph.empty();
    filer.DefineBinaryProperty(
        "Glyph",
        [this](TStream& s) {
            Glyph.assign(static_cast<size_t>(s.Size()), '\0');
            s.ReadBuffer(Glyph.data(), static_cast<int32_t>(Glyph.size()));
        },
        [this](TStream& s) { s.WriteBuffer(Glyph.data(), static_cast<int32_t>(Glyph.size())); }, hasData);
}

void TSampleControl::ComponentNotification(TComponent* component, TOperation operation)
{
    TComponent::ComponentNotification(component, operation);
    if (operation != TOperation::Removal) return;
    if (component == parent_) parent_ = nullptr;
    if (component == PopupMenu) PopupMenu = nullptr;
}

void TSampleControl::AfterLoad()
{
    TComponent::AfterLoad();
    Journal().push_back("AfterLoad " + Name());
}

KERVO_CLASS_RECORD(TSampleCombo)
{
    b.Integer("ItemIndex", &TSampleCombo::ItemIndex, &TSampleCombo::SetItemIndex).Default(-1);
    b.WideString("Text", &TSampleCombo::Text);
    b.Object("Items", &TSampleCombo::Items, &TSampleCombo::SetItems);
}

TSampleCombo::~TSampleCombo() { items_->Free(); }

void TSampleCombo::SetItemIndex(int32_t index)
{
    if (IsLoading()) {
        pendingIndex_ = index;
        return;
    }
    if (index >= -1 && index < static_cast<int32_t>(items_->Items.size())) itemIndex_ = index;
}

void TSampleCombo::AfterLoad()
{
    TSampleControl::AfterLoad();
    SetItemIndex(pendingIndex_);
}

KERVO_CLASS_RECORD(TSampleMenuItem) { b.String("Caption", &TSampleMenuItem::Caption); }

TComponent* TSampleMenuItem::GetParentComponent() const { return Menu; }

void TSampleMenuItem::SetParentComponent(TComponent* parent)
{
    if (!IsInstance<TSampleMenu>(parent) || parent == Menu) return;
    Menu = static_cast<TSampleMenu*>(parent);
    Menu->Items.push_back(this);
}

KERVO_CLASS_RECORD(TSampleMenu) {}

void TSampleMenu::ComponentNotification(TComponent* component, TOperation operation)
{
    TComponent::ComponentNotification(component, operation);
    if (operation == TOperation::Removal) Items.erase(std::remove(Items.begin(), Items.end(), component), Items.end());
}

KERVO_CLASS_RECORD(TSampleForm)
{
    b.Object("ActiveControl", &TSampleForm::ActiveControl, &TSampleForm::ActiveControl);
    b.Object("ContextMenu", &TSampleForm::ContextMenu, &TSampleForm::SetContextMenu);
    b.Event("OnCreate", &TSampleForm::OnCreate);
    b.Field("Panel1", &TSampleForm::Panel1);
    b.Field("Button1", &TSampleForm::Button1);
    b.Field("Combo1", &TSampleForm::Combo1);
    b.Field("Menu1", &TSampleForm::Menu1);
    b.Method("ButtonClick", &TSampleForm::ButtonClick);
    b.Method("ComboKeyDown", &TSampleForm::ComboKeyDown);
    b.Method("FormCreate", &TSampleForm::FormCreate);
}

void TSampleForm::SetContextMenu(TSampleMenu* menu)
{
    contextMenu_ = menu;
    if (menu) menu->FreeNotification(this);
}

void TSampleForm::ButtonClick(TObject* sender)
{
    Journal().push_back("ButtonClick " + static_cast<TComponent*>(sender)->Name());
}

void TSampleForm::ComboKeyDown(TObject*, uint16_t& key, int)
{
    if (key == 13) key = 0;
}

void TSampleForm::FormCreate(TObject*) { Journal().push_back("FormCreate"); }

void TSampleForm::ComponentNotification(TComponent* component, TOperation operation)
{
    TSampleControl::ComponentNotification(component, operation);
    if (operation == TOperation::Removal && component == contextMenu_) {
        contextMenu_ = nullptr;
        Journal().push_back("form lost its menu");
    }
}

void TSampleForm::AfterLoad()
{
    TSampleControl::AfterLoad();
    ActiveAtAfterLoad = ActiveControl ? ActiveControl->Name() : std::string();
}

std::string WriteBinary(TComponent* root, TComponent* ancestor)
{
    TMemoryStream s;
    WriteComponentToStream(s, root, ancestor);
    return s.Bytes();
}

void RegisterSampleClasses()
{
    RegisterClassRecords({&TSampleControl::StaticClass(), &TSampleCombo::StaticClass(), &TSampleMenu::StaticClass(),
                     &TSampleMenuItem::StaticClass()});
}

std::string SampleFormText()
{
    TResourceStream resource(CurrentModuleInstance(), "TSAMPLEFORM", MAKEINTRESOURCEA(10));
    TMemoryStream text;
    text.CopyFrom(resource, 0);
    return text.Bytes();
}

TSampleForm* LoadForm(const std::string& resource)
{
    RegisterSampleClasses();
    TObjectPtr<TSampleForm> form(Make<TSampleForm>(nullptr));
    TMemoryStream stream(resource);
    ReadComponentFromStream(stream, form.get());
    return form.release();
}
