#include "Classes.h"

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------------------------------------
// Helpers

bool SameIdent(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

bool IsValidIdent(const std::string& name)
{
    if (name.empty()) return false;
    auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (!alpha(name[0])) return false;
    for (char c : name) {
        if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
    }
    return true;
}

void RaiseHandlerTypeError()
{
    throw EInvalidCast(std::wstring(L"イベントハンドラの型が合いません"));
}

void RaiseInvalidCast(const TObject* object, const TClassRecord& target)
{
    throw EInvalidCast(FormatText(L"%s を %s に型変換できません",
                                  {WideFromAnsi(object->ClassName()), WideFromAnsi(target.Name())}));
}

// ---------------------------------------------------------------------------------------------
// Property descriptions and class records

bool TPropInfo::IsStored(TObject* instance) const
{
    if (StoredTest) return StoredTest(instance);
    return StoredFlag;
}

bool TPropInfo::IsWritable() const
{
    switch (Kind) {
    case TPropKind::String: return static_cast<bool>(SetString);
    case TPropKind::WideString: return static_cast<bool>(SetWide);
    case TPropKind::Object: return static_cast<bool>(SetObj);
    case TPropKind::Method: return static_cast<bool>(SetMethod);
    default: return static_cast<bool>(SetOrd);
    }
}

bool TPropInfo::IsComponentReference() const
{
    return Kind == TPropKind::Object && ObjectClassOf != nullptr &&
           ObjectClassOf().InheritsFrom(TComponent::StaticClass());
}

void TClassRecord::Init(const char* name, const TClassRecord* parent, Factory factory)
{
    name_ = name;
    parent_ = parent;
    factory_ = factory;
    if (parent_) properties_ = parent_->properties_;
}

TPropInfo& TClassRecord::AddProperty(std::unique_ptr<TPropInfo> info)
{
    TPropInfo& added = *info;
    ownProperties_.push_back(std::move(info));
    for (auto& p : properties_) {
        if (SameIdent(p->Name, added.Name)) {
            p = &added;  // a redeclaration takes the inherited place
            return added;
        }
    }
    properties_.push_back(&added);
    return added;
}

void TClassRecord::MoveToEnd(const std::string& name)
{
    for (auto it = properties_.begin(); it != properties_.end(); ++it) {
        if (SameIdent((*it)->Name, name)) {
            const TPropInfo* p = *it;
            properties_.erase(it);
            properties_.push_back(p);
            return;
        }
    }
    throw EComponentError(name_ + ": no published property " + name);
}

bool TClassRecord::InheritsFrom(const TClassRecord& other) const
{
    for (const TClassRecord* r = this; r; r = r->parent_) {
        if (r == &other) return true;
    }
    return false;
}

const TPropInfo* TClassRecord::FindProperty(const std::string& name) const
{
    for (const TPropInfo* p : properties_) {
        if (SameIdent(p->Name, name)) return p;
    }
    return nullptr;
}

const TMethodEntry* TClassRecord::FindMethod(const std::string& name) const
{
    for (const TClassRecord* r = this; r; r = r->parent_) {
        for (const TMethodEntry& m : r->methods_) {
            if (SameIdent(m.Name, name)) return &m;
        }
    }
    return nullptr;
}

const TMethodEntry* TClassRecord::FindMethodByCode(TGenericMethod code) const
{
    if (code == nullptr) return nullptr;
    for (const TClassRecord* r = this; r; r = r->parent_) {
        for (const TMethodEntry& m : r->methods_) {
            if (m.Code == code) return &m;
        }
    }
    return nullptr;
}

const TFieldInfo* TClassRecord::FindField(const std::string& name) const
{
    for (const TClassRecord* r = this; r; r = r->parent_) {
        for (const TFieldInfo& f : r->fields_) {
            if (SameIdent(f.Name, name)) return &f;
        }
    }
    return nullptr;
}

std::vector<const TFieldInfo*> TClassRecord::Fields() const
{
    std::vector<const TFieldInfo*> out;
    for (const TClassRecord* r = this; r; r = r->parent_) {
        for (const TFieldInfo& f : r->fields_) out.push_back(&f);
    }
    return out;
}

void* TClassRecord::QueryInterface(TObject* instance, const GUID& iid) const
{
    for (const TClassRecord* r = this; r; r = r->parent_) {
        for (const TInterfaceEntry& e : r->interfaces_) {
            if (std::memcmp(&e.Iid, &iid, sizeof(GUID)) == 0) return e.Cast(instance);
        }
    }
    return nullptr;
}

TObject* TClassRecord::CreateInstance(TComponent* owner) const
{
    if (!factory_) {
        throw EAbstractError(FormatText(L"クラス %s のインスタンスは作成できません", {WideFromAnsi(name_)}));
    }
    return FinishConstruction(factory_(owner));
}

// ---------------------------------------------------------------------------------------------
// Registry

namespace {
std::vector<const TClassRecord*>& Registry()
{
    static std::vector<const TClassRecord*> records;
    return records;
}
}  // namespace

void RegisterClassRecord(const TClassRecord& record)
{
    // The first record of a name stays; registering it again changes nothing.
    if (!FindRegisteredClass(record.Name())) Registry().push_back(&record);
}

void RegisterClassRecords(std::initializer_list<const TClassRecord*> records)
{
    for (const TClassRecord* r : records) {
        if (r) RegisterClassRecord(*r);
    }
}

const TClassRecord* FindRegisteredClass(const std::string& name)
{
    for (const TClassRecord* r : Registry()) {
        if (SameIdent(r->Name(), name)) return r;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// TObject

const TClassRecord& TObject::StaticClass()
{
    static const TClassRecord record("TObject", nullptr, TClassTag<TObject>{});
    return record;
}

void TObject::DescribeClass(TClassBuilder<TObject>&) {}

void TObject::Free()
{
    if (freeing_) return;
    freeing_ = true;
    try {
        DestructionStarting();
    } catch (...) {
        delete this;
        throw;
    }
    delete this;
}

bool TObject::GetInterface(const GUID& iid, void** result)
{
    void* p = GetClass().QueryInterface(this, iid);
    if (result) *result = p;
    return p != nullptr;
}

TGenericMethod TObject::MethodAddress(const std::string& name) const
{
    const TMethodEntry* m = GetClass().FindMethod(name);
    return m ? m->Code : nullptr;
}

std::string TObject::MethodName(TGenericMethod code) const
{
    const TMethodEntry* m = GetClass().FindMethodByCode(code);
    return m ? m->Name : std::string();
}

// ---------------------------------------------------------------------------------------------
// TPersistent

KERVO_CLASS_RECORD(TPersistent) {}

void TPersistent::RaiseAssignError(const TPersistent* source, const TPersistent* destination)
{
    auto name = [](const TPersistent* p) { return p ? WideFromAnsi(p->ClassName()) : std::wstring(L"nil"); };
    throw EConvertError(FormatText(L"%s を %s に代入することはできません", {name(source), name(destination)}));
}

void TPersistent::CopyTo(TPersistent* destination) { RaiseAssignError(this, destination); }

void TPersistent::DefineStreamedProperties(TFiler&) {}

void TPersistent::CopyFrom(TPersistent* source)
{
    if (!source) RaiseAssignError(nullptr, this);
    source->CopyTo(this);
}

// ---------------------------------------------------------------------------------------------
// TComponent

KERVO_CLASS_RECORD(TComponent)
{
    b.String("Name", &TComponent::Name, &TComponent::SetName).Stored(false);
    b.Integer("Tag", &TComponent::Tag, &TComponent::SetTag).Default(0);
}

TComponent::TComponent(TComponent* owner)
{
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent()
{
    // Reached without Free (a plain delete, or an object on the stack): the same steps as the
    // pre-destruction step, though overrides of this object no longer take part. After Free
    // they find nothing left to do.
    ReleaseTies();
}

void TComponent::DestructionStarting()
{
    for (TComponent* c : components_) c->SetState(TComponentFlag::Destroying, true);
    ReleaseTies();
    TPersistent::DestructionStarting();
}

void TComponent::ReleaseTies()
{
    SetState(TComponentFlag::Destroying, true);
    DestroyComponents();
    // The owner's tree first: each receiver drops its link with this component on the way, so
    // that the links left afterwards reach only components outside that tree, and each hears of
    // the removal once.
    if (owner_) owner_->RemoveComponent(this);
    while (!freeNotifies_.empty()) {
        TComponent* other = freeNotifies_.back();
        RemoveFreeNotification(other);
        other->ComponentNotification(this, TOperation::Removal);
    }
}

void TComponent::DestroyComponents()
{
    while (!components_.empty()) {
        TComponent* c = components_.back();
        c->Free();
        // A component already on its way out (its Free returned at once) leaves the list here.
        if (!components_.empty() && components_.back() == c) {
            components_.pop_back();
            c->owner_ = nullptr;
        }
    }
}

TComponent* TComponent::Components(int index) const
{
    if (index < 0 || index >= ComponentCount()) throw EComponentError(ListIndexErrorText(index));
    return components_[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const
{
    if (!owner_) return -1;
    const auto& list = owner_->components_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(const std::string& name) const
{
    if (name.empty()) return nullptr;
    for (TComponent* c : components_) {
        if (SameIdent(c->name_, name)) return c;
    }
    return nullptr;
}

void TComponent::ValidateRename(TComponent* component, const std::string& newName) const
{
    if (newName.empty()) return;
    for (TComponent* c : components_) {
        if (c != component && SameIdent(c->name_, newName)) {
            throw EComponentError(
                FormatText(L"%s という名前のコンポーネントは既に存在します", {WideFromAnsi(newName)}));
        }
    }
}

void TComponent::CheckFieldType(const std::string& name) const
{
    if (!owner_ || name.empty()) return;
    const TFieldInfo* field = owner_->GetClass().FindField(name);
    if (field && !InheritsFrom(field->FieldClass())) RaiseInvalidCast(this, field->FieldClass());
}

void TComponent::BindOwnerField(bool bind)
{
    if (!owner_ || name_.empty()) return;
    const TFieldInfo* field = owner_->GetClass().FindField(name_);
    if (!field) return;
    if (bind) {
        if (!InheritsFrom(field->FieldClass())) RaiseInvalidCast(this, field->FieldClass());
        field->Set(owner_, this);
    } else {
        field->Set(owner_, nullptr);
    }
}

void TComponent::SetName(const std::string& name)
{
    if (name == name_) return;
    if (!name.empty() && !IsValidIdent(name)) {
        throw EComponentError(FormatText(L"%s は有効なコンポーネント名ではありません", {WideFromAnsi(name)}));
    }
    if (owner_) owner_->ValidateRename(this, name);
    CheckFieldType(name);
    BindOwnerField(false);
    name_ = name;
    BindOwnerField(true);
}

void TComponent::InsertComponent(TComponent* component)
{
    if (!component || component->owner_ == this) return;
    if (component == this) throw EComponentError(std::wstring(L"コンポーネントは自身を所有できません"));
    ValidateRename(component, component->name_);
    component->CheckFieldType(component->name_);  // against this owner's fields
    if (component->owner_) component->owner_->RemoveComponent(component);
    components_.push_back(component);
    component->owner_ = this;
    component->BindOwnerField(true);
    if (IsDesigning()) component->SetDesigning(true);
    ComponentNotification(component, TOperation::Insertion);
}

void TComponent::RemoveComponent(TComponent* component)
{
    if (!component || component->owner_ != this) return;
    component->BindOwnerField(false);
    auto it = std::find(components_.begin(), components_.end(), component);
    if (it != components_.end()) components_.erase(it);
    component->owner_ = nullptr;
    ComponentNotification(component, TOperation::Removal);
}

void TComponent::FreeNotification(TComponent* other)
{
    if (!other || other == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end()) {
        freeNotifies_.push_back(other);
    }
    auto& back = other->freeNotifies_;
    if (std::find(back.begin(), back.end(), this) == back.end()) back.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other)
{
    if (!other) return;
    auto drop = [](std::vector<TComponent*>& list, TComponent* c) {
        list.erase(std::remove(list.begin(), list.end(), c), list.end());
    };
    drop(freeNotifies_, other);
    drop(other->freeNotifies_, this);
}

void TComponent::SetState(TComponentFlag flag, bool on)
{
    if (on) state_ |= static_cast<uint32_t>(flag);
    else state_ &= ~static_cast<uint32_t>(flag);
}

void TComponent::SetDesigning(bool designing, bool withOwned)
{
    SetState(TComponentFlag::Designing, designing);
    if (!withOwned) return;
    for (TComponent* c : components_) c->SetDesigning(designing, true);
}

void TComponent::ComponentNotification(TComponent* component, TOperation operation)
{
    if (operation == TOperation::Removal && component) RemoveFreeNotification(component);
    // A receiver may free components of this list; only those still owned hear of it.
    const std::vector<TComponent*> snapshot = components_;
    for (TComponent* c : snapshot) {
        if (std::find(components_.begin(), components_.end(), c) != components_.end()) {
            c->ComponentNotification(component, operation);
        }
    }
}

void TComponent::AfterLoad() { SetState(TComponentFlag::Loading, false); }

void TComponent::SetParentComponent(TComponent*) {}

void TComponent::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root)
{
    if (!root) return;
    const std::vector<TComponent*> snapshot = root->components_;
    for (TComponent* c : snapshot) {
        TComponent* parent = c->GetParentComponent();
        bool mine = (this == root) ? (parent == nullptr || parent == root) : (parent == this);
        if (mine) proc(c);
    }
}

// ---------------------------------------------------------------------------------------------
// Collections

KERVO_CLASS_RECORD(TCollectionItem) {}

TCollectionItem::~TCollectionItem()
{
    if (collection_) collection_->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* collection)
{
    if (collection == collection_) return;
    if (collection_) collection_->RemoveItem(this);
    if (collection) collection->InsertItem(this);
}

int TCollectionItem::Index() const
{
    if (!collection_) return -1;
    const auto& items = collection_->items_;
    auto it = std::find(items.begin(), items.end(), this);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

KERVO_CLASS_RECORD(TCollection) {}

TCollection::TCollection(const TClassRecord& itemClass) : itemClass_(&itemClass)
{
    if (!itemClass.InheritsFrom(TCollectionItem::StaticClass())) {
        throw EInvalidCast(FormatText(L"%s は TCollectionItem ではありません", {WideFromAnsi(itemClass.Name())}));
    }
}

TCollection::~TCollection() { Clear(); }

TCollectionItem* TCollection::Add()
{
    auto* item = static_cast<TCollectionItem*>(itemClass_->CreateInstance(nullptr));
    item->SetCollection(this);
    return item;
}

void TCollection::Clear()
{
    while (!items_.empty()) {
        TCollectionItem* item = items_.back();
        items_.pop_back();
        item->collection_ = nullptr;
        item->Free();
    }
}

TCollectionItem* TCollection::Items(int index) const
{
    if (index < 0 || index >= Count()) throw EComponentError(ListIndexErrorText(index));
    return items_[static_cast<size_t>(index)];
}

void TCollection::CopyFrom(TPersistent* source)
{
    if (!IsInstance<TCollection>(source)) {
        TPersistent::CopyFrom(source);
        return;
    }
    auto* other = static_cast<TCollection*>(source);
    if (other == this) return;
    Clear();
    for (TCollectionItem* item : other->items_) Add()->Assign(item);
}

void TCollection::InsertItem(TCollectionItem* item)
{
    items_.push_back(item);
    item->collection_ = this;
}

void TCollection::RemoveItem(TCollectionItem* item)
{
    items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
    item->collection_ = nullptr;
}
