// Class records, objects, assignment, events, interfaces, and components with their ownership
// and free notifications.
#include <gtest/gtest.h>

#include <algorithm>

#include "SampleClasses.h"

namespace {

std::vector<std::string> PropertyNames(const TClassRecord& record)
{
    std::vector<std::string> names;
    for (const TPropInfo* p : record.Properties()) names.push_back(p->Name);
    return names;
}

size_t Count(const std::string& entry) { return std::count(Journal().begin(), Journal().end(), entry); }

// Redeclares the inherited ANSI Caption as a wide string, as the Unicode controls do with Hint.
class TWideCaptionControl : public TSampleControl {
    KERVO_CLASS(TWideCaptionControl, TSampleControl)
public:
    using TSampleControl::TSampleControl;
    std::wstring WideCaption;
};
KERVO_CLASS_RECORD(TWideCaptionControl) { b.WideString("Caption", &TWideCaptionControl::WideCaption); }

// Refers to its own class, as a chain of controls would.
class TChained : public TComponent {
    KERVO_CLASS(TChained, TComponent)
public:
    using TComponent::TComponent;
    TChained* Next = nullptr;
};
KERVO_CLASS_RECORD(TChained) { b.Object("Next", &TChained::Next, &TChained::Next); }

// Journals its after-construction step, its pre-destruction step (with the class it sees then),
// its destructor and the notifications it hears.
class TWitness : public TComponent {
    KERVO_CLASS(TWitness, TComponent)
public:
    using TComponent::TComponent;
    ~TWitness() override { Journal().push_back("destroyed " + Name()); }
    void ConstructionDone() override { Journal().push_back("ConstructionDone " + ClassName()); }
    void DestructionStarting() override
    {
        Journal().push_back("DestructionStarting " + ClassName());
        TComponent::DestructionStarting();
    }
    void ComponentNotification(TComponent* component, TOperation operation) override
    {
        TComponent::ComponentNotification(component, operation);
        if (operation == TOperation::Removal) Journal().push_back(Name() + " heard " + component->Name());
    }
};
KERVO_CLASS_RECORD(TWitness) {}

class TFailingConstruction : public TWitness {
    KERVO_CLASS(TFailingConstruction, TWitness)
public:
    using TWitness::TWitness;
    void ConstructionDone() override { throw EConvertError(std::string("no")); }
};
KERVO_CLASS_RECORD(TFailingConstruction) {}

struct ISample : IUnknown {
    static constexpr GUID Iid = {0x6A1C2F10, 0x3B4D, 0x4E5F, {0x80, 0x91, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7}};
    virtual int STDMETHODCALLTYPE Answer() = 0;
};

class TAnswering : public TComponent, public ISample {
    KERVO_CLASS(TAnswering, TComponent)
public:
    using TComponent::TComponent;
    KERVO_UNCOUNTED_IUNKNOWN
    int STDMETHODCALLTYPE Answer() override { return 42; }
};
KERVO_CLASS_RECORD(TAnswering) { b.Interface<ISample>(ISample::Iid); }

}  // namespace

TEST(ClassRecords, DescribeTheClassAndItsPublishedPropertiesInOrder)
{
    const TClassRecord& combo = TSampleCombo::StaticClass();
    EXPECT_EQ(combo.Name(), "TSampleCombo");
    EXPECT_EQ(combo.Parent(), &TSampleControl::StaticClass());
    EXPECT_TRUE(combo.InheritsFrom(TComponent::StaticClass()));
    EXPECT_FALSE(TComponent::StaticClass().InheritsFrom(combo));
    const std::vector<std::string> expected = {"Name",  "Tag",      "Left",    "Top",       "Width",
                                               "Height", "Caption", "Hint",    "Visible",   "Align",
                                               "Serial", "Font",    "Columns", "PopupMenu", "OnClick",
                                               "OnKeyDown", "ItemIndex", "Text",  "Items"};
    EXPECT_EQ(PropertyNames(combo), expected);

    EXPECT_EQ(combo.FindProperty("text")->Kind, TPropKind::WideString);
    EXPECT_EQ(combo.FindProperty("Caption")->Kind, TPropKind::String);
    EXPECT_TRUE(combo.FindProperty("PopupMenu")->IsComponentReference());
    EXPECT_FALSE(combo.FindProperty("Font")->IsComponentReference());
    EXPECT_EQ(combo.FindProperty("Font")->ObjectClass(), &TSampleFont::StaticClass());
    EXPECT_EQ(combo.FindProperty("Nothing"), nullptr);

    const TClassRecord& form = TSampleForm::StaticClass();
    EXPECT_NE(form.FindMethod("buttonclick"), nullptr);
    EXPECT_EQ(form.FindMethod("Nothing"), nullptr);
    EXPECT_EQ(&form.FindField("Combo1")->FieldClass(), &TSampleCombo::StaticClass());

    // A redeclaration keeps the inherited place and changes the kind.
    const TClassRecord& wide = TWideCaptionControl::StaticClass();
    EXPECT_EQ(PropertyNames(wide), PropertyNames(TSampleControl::StaticClass()));
    EXPECT_EQ(wide.FindProperty("Caption")->Kind, TPropKind::WideString);

    EXPECT_EQ(TChained::StaticClass().FindProperty("Next")->ObjectClass(), &TChained::StaticClass());
}

TEST(ClassRecords, CreateRegisterAndCastByRecord)
{
    Journal().clear();
    TObjectPtr<TComponent> owner(Make<TComponent>(nullptr));
    TObject* made = TWitness::StaticClass().CreateInstance(owner.get());
    EXPECT_EQ(made->ClassName(), "TWitness");
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(Journal(), std::vector<std::string>{"ConstructionDone TWitness"});
    EXPECT_THROW(TStream::StaticClass().CreateInstance(), EAbstractError);

    RegisterSampleClasses();
    EXPECT_EQ(FindRegisteredClass("tsamplecombo"), &TSampleCombo::StaticClass());
    EXPECT_EQ(FindRegisteredClass("TUnknown"), nullptr);

    EXPECT_TRUE(IsInstance<TComponent>(made));
    EXPECT_FALSE(IsInstance<TSampleControl>(made));
    EXPECT_EQ(CheckedCast<TComponent>(made), made);
    EXPECT_EQ(CheckedCast<TSampleControl>(nullptr), nullptr);
    try {
        CheckedCast<TSampleControl>(made);
        FAIL();
    } catch (const EInvalidCast& e) {
        EXPECT_NE(e.Message().find("TWitness"), std::string::npos);
        EXPECT_NE(e.Message().find("TSampleControl"), std::string::npos);
    }
}

TEST(Persistent, AssignAsksTheSourceAndNamesBothClassesWhenNeitherCan)
{
    TObjectPtr<TSampleFont> a(Make<TSampleFont>());
    TObjectPtr<TSampleFont> b(Make<TSampleFont>());
    b->Name = "Arial";
    b->Style = {fsItalic};
    a->Assign(b.get());
    EXPECT_EQ(a->Name, "Arial");
    EXPECT_TRUE(a->Style.Contains(fsItalic));

    TObjectPtr<TSampleItems> items(Make<TSampleItems>());
    items->Items = {L"x"};
    try {
        items->Assign(a.get());
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()), L"TSampleFont を TSampleItems に代入することはできません");
    }
    try {
        a->Assign(nullptr);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()), L"nil を TSampleFont に代入することはできません");
    }
    try {
        a->CopyTo(nullptr);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()), L"TSampleFont を nil に代入することはできません");
    }
    EXPECT_EQ(items->Items, std::vector<std::wstring>{L"x"});
    EXPECT_EQ(a->Name, "Arial");
}

TEST(Events, CallTheBoundMethodAndRefuseAnotherSignature)
{
    Journal().clear();
    TObjectPtr<TSampleForm> form(Make<TSampleForm>(nullptr));
    EXPECT_FALSE(form->OnCreate);
    form->OnCreate.Bind(form.get(), &TSampleForm::FormCreate);
    form->OnCreate(form.get());
    EXPECT_EQ(Journal(), std::vector<std::string>{"FormCreate"});

    form->OnKeyDown.Bind(form.get(), &TSampleForm::ComboKeyDown);
    uint16_t key = 13;
    form->OnKeyDown(form.get(), key, 0);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(form->MethodName(form->OnKeyDown.Method().Code), "ComboKeyDown");
    EXPECT_EQ(form->MethodAddress("FormCreate"), form->OnCreate.Method().Code);

    EXPECT_THROW(form->OnCreate.SetMethod(form->OnKeyDown.Method()), EInvalidCast);
    form->OnCreate.SetMethod(TMethod{});
    EXPECT_FALSE(form->OnCreate);
}

TEST(Interfaces, AnsweredFromTheClassRecordWithoutReferenceCounting)
{
    TObjectPtr<TAnswering> object(Make<TAnswering>(nullptr));
    ISample* sample = QueryInterfaceOf<ISample>(object.get());
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->Answer(), 42);

    void* again = nullptr;
    EXPECT_EQ(sample->QueryInterface(ISample::Iid, &again), S_OK);
    EXPECT_EQ(again, sample);
    EXPECT_EQ(sample->Release(), 1u);  // references do not govern the lifetime
    const GUID other = {0x6A1C2F11, 0x3B4D, 0x4E5F, {0x80, 0x91, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7}};
    EXPECT_EQ(sample->QueryInterface(other, &again), E_NOINTERFACE);
    EXPECT_EQ(again, nullptr);

    TObjectPtr<TComponent> plain(Make<TComponent>(nullptr));
    EXPECT_EQ(QueryInterfaceOf<ISample>(plain.get()), nullptr);
}

TEST(Components, OwnerFreesWhatItOwnsTheLastFirst)
{
    Journal().clear();
    TComponent* owner = Make<TComponent>(nullptr);
    for (const char* name : {"A", "B", "C"}) Make<TWitness>(owner)->SetName(name);
    EXPECT_EQ(owner->FindComponent("b"), owner->Components(1));
    EXPECT_EQ(owner->Components(2)->ComponentIndex(), 2);
    EXPECT_THROW(owner->Components(3), EComponentError);
    Journal().clear();
    owner->Free();
    // The ones still there hear of each removal.
    const std::vector<std::string> expected = {
        "DestructionStarting TWitness", "A heard C", "B heard C", "destroyed C",
        "DestructionStarting TWitness", "A heard B", "destroyed B",
        "DestructionStarting TWitness", "destroyed A"};
    EXPECT_EQ(Journal(), expected);
}

TEST(Components, NamesAreIdentifiersUniqueInTheirOwnerAndBindPublishedFields)
{
    TObjectPtr<TSampleForm> form(Make<TSampleForm>(nullptr));
    auto* button = Make<TSampleControl>(form.get());
    EXPECT_THROW(button->SetName("1st"), EComponentError);
    EXPECT_THROW(button->SetName("a b"), EComponentError);
    button->SetName("Button1");
    EXPECT_EQ(form->Button1, button);

    auto* other = Make<TSampleControl>(form.get());
    EXPECT_THROW(other->SetName("BUTTON1"), EComponentError);
    EXPECT_EQ(other->Name(), "");

    button->SetName("Renamed");
    EXPECT_EQ(form->Button1, nullptr);
    button->SetName("Button1");
    EXPECT_EQ(form->Button1, button);

    // A component of another class cannot take the field's name.
    auto* menu = Make<TSampleMenu>(form.get());
    EXPECT_THROW(menu->SetName("Combo1"), EInvalidCast);
    EXPECT_EQ(menu->Name(), "");
    EXPECT_EQ(form->Combo1, nullptr);

    button->Free();
    EXPECT_EQ(form->Button1, nullptr);
    EXPECT_EQ(form->ComponentCount(), 2);
}

TEST(Notifications, FreedComponentLeavesEveryHolderInsideAndOutsideItsOwner)
{
    Journal().clear();
    TObjectPtr<TSampleForm> home(Make<TSampleForm>(nullptr));
    TObjectPtr<TSampleForm> away(Make<TSampleForm>(nullptr));
    auto* menu = Make<TSampleMenu>(home.get());
    auto* sibling = Make<TSampleControl>(home.get());
    sibling->PopupMenu = menu;
    away->SetContextMenu(menu);

    menu->Free();
    EXPECT_EQ(sibling->PopupMenu, nullptr);
    EXPECT_EQ(away->ContextMenu(), nullptr);
    EXPECT_EQ(Count("form lost its menu"), 1u);

    // A holder freed first takes its link with it: the later free tells nobody.
    auto* second = Make<TSampleMenu>(home.get());
    TSampleForm* listener = Make<TSampleForm>(nullptr);
    listener->SetContextMenu(second);
    listener->Free();
    Journal().clear();
    second->Free();
    EXPECT_EQ(Count("form lost its menu"), 0u);
}

TEST(Notifications, AnOwnerBeingFreedHearsOfItsComponentsThroughItsOwnOverride)
{
    Journal().clear();
    TSampleForm* form = Make<TSampleForm>(nullptr);
    auto* menu = Make<TSampleMenu>(form);
    form->SetContextMenu(menu);
    form->Free();
    EXPECT_EQ(Count("form lost its menu"), 1u);

    // The base passes a removal to the owned components before the override reacts.
    Journal().clear();
    TObjectPtr<TWitness> outer(Make<TWitness>(nullptr));
    outer->SetName("Outer");
    Make<TWitness>(outer.get())->SetName("Inner");
    auto* gone = Make<TWitness>(outer.get());
    gone->SetName("Gone");
    Journal().clear();
    gone->Free();
    const std::vector<std::string> expected = {"DestructionStarting TWitness", "Inner heard Gone",
                                               "Outer heard Gone", "destroyed Gone"};
    EXPECT_EQ(Journal(), expected);
}

TEST(Components, ConstructionAndDestructionStepsSeeTheWholeObject)
{
    Journal().clear();
    TWitness* w = Make<TWitness>(nullptr);
    w->SetName("W");
    w->Free();
    const std::vector<std::string> expected = {"ConstructionDone TWitness", "DestructionStarting TWitness",
                                               "destroyed W"};
    EXPECT_EQ(Journal(), expected);

    // A failing after-construction step frees the object again and passes the error on.
    Journal().clear();
    TObjectPtr<TComponent> owner(Make<TComponent>(nullptr));
    EXPECT_THROW(Make<TFailingConstruction>(owner.get()), EConvertError);
    EXPECT_EQ(owner->ComponentCount(), 0);
    EXPECT_EQ(Count("destroyed "), 1u);
}

TEST(Components, DesignStateReachesOwnedAndLaterInsertedComponents)
{
    TObjectPtr<TComponent> root(Make<TComponent>(nullptr));
    auto* early = Make<TComponent>(root.get());
    root->SetDesigning(true);
    auto* late = Make<TComponent>(root.get());
    EXPECT_TRUE(early->IsDesigning());
    EXPECT_TRUE(late->IsDesigning());
    root->SetDesigning(false);
    EXPECT_FALSE(late->IsDesigning());
}

TEST(Collections, ItemsBelongToTheirCollectionAndCopyByAssignment)
{
    TObjectPtr<TCollection> a(Make<TCollection>(TSampleColumn::StaticClass()));
    auto* first = static_cast<TSampleColumn*>(a->Add());
    first->Title = L"名前";
    a->Add();
    EXPECT_EQ(a->Count(), 2);
    EXPECT_EQ(a->Items(1)->Index(), 1);

    TObjectPtr<TCollection> b(Make<TCollection>(TSampleColumn::StaticClass()));
    b->Assign(a.get());
    ASSERT_EQ(b->Count(), 2);
    EXPECT_EQ(static_cast<TSampleColumn*>(b->Items(0))->Title, L"名前");

    first->Free();  // an item freed on its own leaves its collection
    EXPECT_EQ(a->Count(), 1);
    EXPECT_THROW(Make<TCollection>(TSampleFont::StaticClass()), EInvalidCast);
}
