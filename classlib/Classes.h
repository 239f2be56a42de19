#pragma once
// Objects, class records, persistent objects and components.
//
// Every class of the library carries a hand-made class record: its name, its parent's record, a
// factory, its published properties in declaration order (inherited ones first), its published
// methods and fields by name and the interfaces it answers. Form resources create components by
// class name, set properties by name and bind event handlers by name through these records.
//
// Declaring a class:
//
//     class TButton : public TWinControl {
//         KERVO_CLASS(TButton, TWinControl)
//     public:
//         explicit TButton(TComponent* owner);
//         ...
//     };
//
//     // in the .cpp file: the record, described once
//     KERVO_CLASS_RECORD(TButton)
//     {
//         b.String("Caption", &TButton::GetCaption, &TButton::SetCaption);
//         b.Boolean("Default", &TButton::GetDefault, &TButton::SetDefault).Default(false);
//         b.Event("OnClick", &TButton::OnClick);
//     }
//
// Objects are freed with Free() (or FreeAndNil / TObjectPtr), which runs the pre-destruction step
// DestructionStarting() while the whole object is still alive, then deletes it. Objects that need
// their after-construction step are made with Make<T>(...), or through FinishConstruction when
// something must come between the constructor and that step.
#include <windows.h>
#include <objbase.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "SysUtils.h"

class TObject;
class TPersistent;
class TComponent;
class TClassRecord;
class TFiler;
template <class T> class TClassBuilder;

KERVO_EXCEPTION(EComponentError, Exception)

// ---------------------------------------------------------------------------------------------
// Methods and events

// A member function of any class of the library, stored without its type; TMethod carries the
// signature beside it so that a handler is only ever called through its own type.
using TGenericMethod = void (TObject::*)();

// Between method pointer types of TObject, which all share one representation; the event and
// the method table convert back before any call.
template <class To, class From>
To MethodCast(From method)
{
    static_assert(sizeof(To) == sizeof(From), "method pointers of one class share one size");
    return std::bit_cast<To>(method);
}

// One address per signature, to tell handler types apart at run time.
template <class Sig>
const void* SignatureOf()
{
    static const char tag = 0;
    return &tag;
}

struct TMethod {
    TObject* Data = nullptr;
    TGenericMethod Code = nullptr;
    const void* Signature = nullptr;

    bool Assigned() const { return Data != nullptr && Code != nullptr; }
};

[[noreturn]] void RaiseHandlerTypeError();

// An event: an object and one of its member functions, called as a function. The handler's class
// must derive from TObject.
template <class Sig> class TEvent;

template <class R, class... A>
class TEvent<R(A...)> {
public:
    using Signature = R(A...);
    using Code = R (TObject::*)(A...);

    TEvent() = default;
    template <class C>
    TEvent(C* object, R (C::*method)(A...)) { Bind(object, method); }

    template <class C>
    void Bind(C* object, R (C::*method)(A...))
    {
        static_assert(std::is_base_of_v<TObject, C>, "event handlers are methods of library objects");
        data_ = object;
        code_ = object ? static_cast<Code>(method) : nullptr;
    }
    void Clear() { data_ = nullptr; code_ = nullptr; }

    explicit operator bool() const { return data_ != nullptr && code_ != nullptr; }
    R operator()(A... args) const { return (data_->*code_)(std::forward<A>(args)...); }

    TObject* Object() const { return data_; }
    TMethod Method() const
    {
        return {data_, MethodCast<TGenericMethod>(code_), SignatureOf<Signature>()};
    }
    // Takes a method of the same signature; an empty method clears the event.
    void SetMethod(const TMethod& m)
    {
        if (!m.Assigned()) {
            Clear();
            return;
        }
        if (m.Signature != SignatureOf<Signature>()) RaiseHandlerTypeError();
        data_ = m.Data;
        code_ = MethodCast<Code>(m.Code);
    }

    bool operator==(const TEvent& other) const { return data_ == other.data_ && code_ == other.code_; }

private:
    TObject* data_ = nullptr;
    Code code_ = nullptr;
};

using TNotifyEvent = TEvent<void(TObject* sender)>;

// ---------------------------------------------------------------------------------------------
// Small sets over enumerations (at most 32 members), stored as a bit mask: member n is bit n.

template <class E>
class TSmallSet {
public:
    constexpr TSmallSet() = default;
    constexpr TSmallSet(std::initializer_list<E> members)
    {
        for (E m : members) bits_ |= Bit(m);
    }
    static constexpr TSmallSet FromBits(uint32_t bits)
    {
        TSmallSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr uint32_t Bits() const { return bits_; }
    constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr void Include(E m) { bits_ |= Bit(m); }
    constexpr void Exclude(E m) { bits_ &= ~Bit(m); }
    constexpr bool operator==(const TSmallSet&) const = default;

private:
    static constexpr uint32_t Bit(E m) { return uint32_t{1} << static_cast<unsigned>(m); }
    uint32_t bits_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Class records

enum class TPropKind {
    Integer,      // up to 32 bits, optionally written as identifiers (colours, cursors)
    Int64,
    Boolean,
    Enumeration,  // written as the member's name
    Set,          // written as a set of member names
    String,       // ANSI text (std::string in the system code page)
    WideString,   // UTF-16 text (std::wstring)
    Object,       // a component reference, or a persistent sub-object with properties of its own
    Method,       // an event, written as the name of a published method of the root
};

// Names for integer values (colour and cursor constants), written in place of the number.
struct TIdentMapEntry {
    int32_t Value;
    const char* Name;
};
using TIdentMap = std::vector<TIdentMapEntry>;

struct TPropInfo {
    std::string Name;
    TPropKind Kind = TPropKind::Integer;
    const TClassRecord* OwnerClass = nullptr;   // the class that declares it
    // Object: the class of the value. Looked up on use, so that a class may have properties of
    // its own class without its record depending on itself while it is built.
    const TClassRecord& (*ObjectClassOf)() = nullptr;
    const TClassRecord* ObjectClass() const { return ObjectClassOf ? &ObjectClassOf() : nullptr; }
    std::vector<std::string> MemberNames;       // Enumeration and Set: name of value / bit n
    const TIdentMap* Idents = nullptr;          // Integer: optional names of values
    int64_t MinValue = 0, MaxValue = 0;         // ordinal kinds: the range the setter takes
    bool HasDefault = false;                    // ordinal kinds: a value equal to it is not written
    int64_t Default = 0;
    const void* Signature = nullptr;            // Method: the handler type
    bool StoredFlag = true;
    std::function<bool(TObject*)> StoredTest;

    // Accessors; the ones of the property's kind are set, a missing setter means read-only.
    std::function<int64_t(TObject*)> GetOrd;
    std::function<void(TObject*, int64_t)> SetOrd;
    std::function<std::string(TObject*)> GetString;
    std::function<void(TObject*, const std::string&)> SetString;
    std::function<std::wstring(TObject*)> GetWide;
    std::function<void(TObject*, const std::wstring&)> SetWide;
    std::function<TObject*(TObject*)> GetObj;
    std::function<void(TObject*, TObject*)> SetObj;
    std::function<TMethod(TObject*)> GetMethod;
    std::function<void(TObject*, const TMethod&)> SetMethod;

    // The stored specifier: a constant or a test of the instance.
    bool IsStored(TObject* instance) const;
    bool IsWritable() const;
    // Object properties whose class is a component hold references; others hold sub-objects.
    bool IsComponentReference() const;
};

struct TMethodEntry {
    std::string Name;
    TGenericMethod Code = nullptr;
    const void* Signature = nullptr;
};

// A published field of a component class: set to the owned component of the same name.
struct TFieldInfo {
    std::string Name;
    const TClassRecord& (*FieldClassOf)() = nullptr;
    const TClassRecord& FieldClass() const { return FieldClassOf(); }
    std::function<void(TObject* self, TComponent* value)> Set;
};

struct TInterfaceEntry {
    GUID Iid;
    std::function<void*(TObject*)> Cast;
};

template <class T>
struct TClassTag {};

class TClassRecord {
public:
    using Factory = TObject* (*)(TComponent* owner);

    // Builds the record of T in place: name, parent, factory, then T::DescribeClass fills in
    // the rest.
    template <class T>
    TClassRecord(const char* name, const TClassRecord* parent, TClassTag<T>);
    TClassRecord(const TClassRecord&) = delete;
    TClassRecord& operator=(const TClassRecord&) = delete;

    const std::string& Name() const { return name_; }
    const TClassRecord* Parent() const { return parent_; }
    bool InheritsFrom(const TClassRecord& other) const;

    // Published properties, inherited first; a redeclared property keeps its inherited place.
    const std::vector<const TPropInfo*>& Properties() const { return properties_; }
    const TPropInfo* FindProperty(const std::string& name) const;  // case-insensitive
    const TMethodEntry* FindMethod(const std::string& name) const;  // this class and its parents
    const TMethodEntry* FindMethodByCode(TGenericMethod code) const;
    const TFieldInfo* FindField(const std::string& name) const;
    // Every published field, inherited ones included (their classes help the reader find classes).
    std::vector<const TFieldInfo*> Fields() const;
    void* QueryInterface(TObject* instance, const GUID& iid) const;

    // Creation: components take their owner, other classes ignore it. The after-construction
    // step runs before the object is returned. Raises EAbstractError for a class without factory.
    bool CanCreate() const { return factory_ != nullptr; }
    TObject* CreateInstance(TComponent* owner = nullptr) const;

private:
    void Init(const char* name, const TClassRecord* parent, Factory factory);

    template <class T> friend class TClassBuilder;

    TPropInfo& AddProperty(std::unique_ptr<TPropInfo> info);
    void MoveToEnd(const std::string& name);

    std::string name_;
    const TClassRecord* parent_ = nullptr;
    Factory factory_ = nullptr;
    std::vector<std::unique_ptr<TPropInfo>> ownProperties_;
    std::vector<const TPropInfo*> properties_;
    std::vector<TMethodEntry> methods_;
    std::vector<TFieldInfo> fields_;
    std::vector<TInterfaceEntry> interfaces_;
};

// The registry by name of classes that form resources may create; classes of a root's published
// fields are found without it.
void RegisterClassRecord(const TClassRecord& record);
void RegisterClassRecords(std::initializer_list<const TClassRecord*> records);
const TClassRecord* FindRegisteredClass(const std::string& name);  // nullptr when unknown

// Inside a class declaration: the record accessors. Leaves the access at public.
#define KERVO_CLASS(Self, Parent)                                                   \
public:                                                                             \
    using Inherited = Parent;                                                       \
    static const TClassRecord& StaticClass();                                       \
    const TClassRecord& GetClass() const override { return StaticClass(); }         \
    static void DescribeClass(TClassBuilder<Self>& b);

// In one source file: the record of the class, followed by the body of its description.
#define KERVO_CLASS_RECORD(Self)                                                    \
    const TClassRecord& Self::StaticClass()                                         \
    {                                                                               \
        static const TClassRecord record(#Self, &Self::Inherited::StaticClass(),   \
                                         TClassTag<Self>{});                        \
        return record;                                                              \
    }                                                                               \
    void Self::DescribeClass([[maybe_unused]] TClassBuilder<Self>& b)

// ---------------------------------------------------------------------------------------------
// TObject

class TObject {
public:
    TObject() = default;
    virtual ~TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;

    static const TClassRecord& StaticClass();
    virtual const TClassRecord& GetClass() const { return StaticClass(); }
    static void DescribeClass(TClassBuilder<TObject>& b);

    const std::string& ClassName() const { return GetClass().Name(); }
    bool InheritsFrom(const TClassRecord& record) const { return GetClass().InheritsFrom(record); }

    // After-construction step: runs once the whole object exists (FinishConstruction).
    virtual void ConstructionDone() {}
    // Pre-destruction step: runs from Free() while the whole object is still alive.
    virtual void DestructionStarting() {}
    // Runs the pre-destruction step, then deletes the object. A second call while the object is
    // being freed does nothing.
    void Free();

    // Interface query without reference counting: the pointer to the interface this object
    // answers for iid, from its class records; false and null when it answers none.
    virtual bool GetInterface(const GUID& iid, void** result);

    TGenericMethod MethodAddress(const std::string& name) const;
    std::string MethodName(TGenericMethod code) const;

protected:
    bool IsBeingFreed() const { return freeing_; }

private:
    bool freeing_ = false;
};

template <class T>
void FreeAndNil(T*& object)
{
    T* o = object;
    object = nullptr;
    if (o) o->Free();
}

struct TObjectDeleter {
    void operator()(TObject* o) const
    {
        if (o) o->Free();
    }
};
template <class T>
using TObjectPtr = std::unique_ptr<T, TObjectDeleter>;

// The steps after a new object's constructor, the one way every creation takes them: prepare
// (what the object needs before its after-construction step: a resource, a site, a reference
// that names it), then ConstructionDone. When either raises, the object is freed and the raise
// goes on. Answers the object.
template <class T, class Prepare>
T* FinishConstruction(T* object, Prepare&& prepare)
{
    try {
        prepare(object);
        object->ConstructionDone();
    } catch (...) {
        object->Free();
        throw;
    }
    return object;
}

template <class T>
T* FinishConstruction(T* object)
{
    return FinishConstruction(object, [](T*) {});
}

// Creates an object and runs its after-construction step; a failing step frees it again.
template <class T, class... Args>
T* Make(Args&&... args)
{
    return FinishConstruction(new T(std::forward<Args>(args)...));
}

template <class T>
bool IsInstance(const TObject* object)
{
    return object != nullptr && object->InheritsFrom(T::StaticClass());
}

[[noreturn]] void RaiseInvalidCast(const TObject* object, const TClassRecord& target);

// The checked cast: null stays null, an object of another class raises EInvalidCast.
template <class T>
T* CheckedCast(TObject* object)
{
    if (object == nullptr) return nullptr;
    if (!object->InheritsFrom(T::StaticClass())) RaiseInvalidCast(object, T::StaticClass());
    return static_cast<T*>(object);
}

// Typed interface query; the interface type names its identifier as a static member Iid (not
// IID, which would hide the type of that name in the classes that implement it).
template <class I>
I* QueryInterfaceOf(TObject* object)
{
    void* p = nullptr;
    if (object && object->GetInterface(I::Iid, &p)) return static_cast<I*>(p);
    return nullptr;
}

// For a library class that also derives from a COM interface whose references must not govern
// its lifetime: the three IUnknown methods, answered from the class records.
#define KERVO_UNCOUNTED_IUNKNOWN                                                       \
    HRESULT STDMETHODCALLTYPE QueryInterface(const GUID& iid, void** out) override      \
    {                                                                                  \
        if (!out) return E_POINTER;                                                    \
        return GetInterface(iid, out) ? S_OK : E_NOINTERFACE;                          \
    }                                                                                  \
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }                            \
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

// ---------------------------------------------------------------------------------------------
// TPersistent

class TPersistent : public TObject {
    KERVO_CLASS(TPersistent, TObject)
public:
    // Copies the source into this object: CopyFrom, which by default asks the source to copy
    // itself into this object (CopyTo). Neither side able: EConvertError "%s を %s に代入する
    // ことはできません" with the source's class name (or "nil") and this class's name.
    void Assign(TPersistent* source) { CopyFrom(source); }

    virtual void CopyTo(TPersistent* destination);
    virtual void DefineStreamedProperties(TFiler& filer);
    virtual void CopyFrom(TPersistent* source);

protected:
    [[noreturn]] static void RaiseAssignError(const TPersistent* source, const TPersistent* destination);
};

// ---------------------------------------------------------------------------------------------
// TComponent

enum class TOperation { Insertion, Removal };

enum class TComponentFlag : uint32_t {
    Loading = 1,      // from the creation by a reader until AfterLoad
    Reading = 2,      // while its own properties and children are read
    Designing = 4,    // design state: shadow values of form resources apply
    Destroying = 8,   // from the start of its freeing
};

class TComponent : public TPersistent {
    KERVO_CLASS(TComponent, TPersistent)
public:
    // Joins the owner's list when an owner is given; the owner frees what it owns.
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    // A valid identifier, unique without regard to case among the owner's components (or
    // empty). Binds the owner's published field of that name. Raises EComponentError.
    virtual void SetName(const std::string& name);
    int32_t Tag() const { return tag_; }
    void SetTag(int32_t tag) { tag_ = tag; }

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const;
    const std::vector<TComponent*>& ComponentList() const { return components_; }
    int ComponentIndex() const;
    TComponent* FindComponent(const std::string& name) const;  // owned, case-insensitive

    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    void DestroyComponents();

    // Asks that `other` be told (ComponentNotification with Removal) when this component is
    // freed; the link goes both ways, so neither keeps a stale pointer to the other.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

    bool HasState(TComponentFlag flag) const { return (state_ & static_cast<uint32_t>(flag)) != 0; }
    bool IsLoading() const { return HasState(TComponentFlag::Loading); }
    bool IsReading() const { return HasState(TComponentFlag::Reading); }
    bool IsDesigning() const { return HasState(TComponentFlag::Designing); }
    bool IsDestroying() const { return HasState(TComponentFlag::Destroying); }
    void SetState(TComponentFlag flag, bool on);
    // Design state for this component and, by default, everything it owns; components inserted
    // later into a designing owner take it too.
    void SetDesigning(bool designing, bool withOwned = true);

    // Told of insertions into and removals from the owner's tree and of freed components this
    // one asked to hear about. The base forwards to every owned component; overrides call it
    // first, then react.
    virtual void ComponentNotification(TComponent* component, TOperation operation);

    // After a form resource has been read whole (references and events bound): leaves the
    // loading state. Overrides call it first.
    virtual void AfterLoad();

    // Sets the destroying state, frees the owned components (the last first, each removal told
    // to this object while it is whole), tells the free-notification links, and leaves the
    // owner. Overrides do their own work first, then call it.
    void DestructionStarting() override;

    // The shape of the component tree in form resources. A component's parent is where it is
    // written and read (a control's parent control, an action's list); the base has none.
    // The reader calls SetParentComponent before it reads the component's own properties.
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual void SetParentComponent(TComponent* parent);
    // The components written inside this one: by default those owned by the root whose parent
    // component is this one (for the root: those without a parent or with the root as parent).
    virtual void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root);
    // Owner and parent of the components read inside this one (null owner: the reader's root).
    virtual TComponent* GetChildOwner() { return nullptr; }
    virtual TComponent* GetChildParent() { return this; }

private:
    // Destroying state, the owned freed, the owner left, the free-notification links told.
    void ReleaseTies();
    void BindOwnerField(bool bind);
    void CheckFieldType(const std::string& name) const;
    void ValidateRename(TComponent* component, const std::string& newName) const;

    TComponent* owner_ = nullptr;
    std::string name_;
    int32_t tag_ = 0;
    uint32_t state_ = 0;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
};

bool IsValidIdent(const std::string& name);
bool SameIdent(const std::string& a, const std::string& b);  // ASCII, without regard to case

// ---------------------------------------------------------------------------------------------
// Collections: a persistent list of items of one class, streamed as a collection value.

class TCollection;

class TCollectionItem : public TPersistent {
    KERVO_CLASS(TCollectionItem, TPersistent)
public:
    TCollectionItem() = default;
    ~TCollectionItem() override;
    TCollection* Collection() const { return collection_; }
    void SetCollection(TCollection* collection);
    int Index() const;

private:
    friend class TCollection;
    TCollection* collection_ = nullptr;
};

class TCollection : public TPersistent {
    KERVO_CLASS(TCollection, TPersistent)
public:
    explicit TCollection(const TClassRecord& itemClass = TCollectionItem::StaticClass());
    ~TCollection() override;

    const TClassRecord& ItemClass() const { return *itemClass_; }
    TCollectionItem* Add();
    void Clear();
    int Count() const { return static_cast<int>(items_.size()); }
    TCollectionItem* Items(int index) const;
    // Copies the items of another collection of a compatible item class, by assignment.
    void CopyFrom(TPersistent* source) override;

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);

    const TClassRecord* itemClass_;
    std::vector<TCollectionItem*> items_;
};

// ---------------------------------------------------------------------------------------------
// The builder behind DescribeClass.

class TPropBuilder {
public:
    explicit TPropBuilder(TPropInfo& info) : info_(info) {}
    TPropBuilder& Default(int64_t value)
    {
        info_.HasDefault = true;
        info_.Default = value;
        return *this;
    }
    template <class E>
    TPropBuilder& Default(TSmallSet<E> value) { return Default(static_cast<int64_t>(value.Bits())); }
    template <class E>
        requires std::is_enum_v<E>
    TPropBuilder& Default(E value) { return Default(static_cast<int64_t>(value)); }
    TPropBuilder& NoDefault()
    {
        info_.HasDefault = false;
        return *this;
    }
    TPropBuilder& Stored(bool stored)
    {
        info_.StoredFlag = stored;
        info_.StoredTest = nullptr;
        return *this;
    }
    template <class C>
    TPropBuilder& Stored(bool (C::*test)() const)
    {
        info_.StoredTest = [test](TObject* o) { return (static_cast<C*>(o)->*test)(); };
        return *this;
    }
    TPropBuilder& Idents(const TIdentMap* idents)
    {
        info_.Idents = idents;
        return *this;
    }
    TPropInfo& Info() { return info_; }

private:
    TPropInfo& info_;
};

namespace classes_detail {

template <class T>
struct IsSmallSet : std::false_type {};
template <class E>
struct IsSmallSet<TSmallSet<E>> : std::true_type {};

template <class V>
int64_t ToOrd(const V& v)
{
    if constexpr (std::is_same_v<V, bool>) return v ? 1 : 0;
    else if constexpr (std::is_enum_v<V>) return static_cast<int64_t>(v);
    else if constexpr (IsSmallSet<V>::value) return static_cast<int64_t>(v.Bits());
    else return static_cast<int64_t>(v);
}

template <class V>
V FromOrd(int64_t n)
{
    if constexpr (std::is_same_v<V, bool>) return n != 0;
    else if constexpr (std::is_enum_v<V>) return static_cast<V>(n);
    else if constexpr (IsSmallSet<V>::value) return V::FromBits(static_cast<uint32_t>(n));
    else return static_cast<V>(n);
}

// Reads a property through a getter member function or a data member of T (or of a base).
template <class T, class G>
decltype(auto) Get(const G& getter, TObject* o)
{
    return std::invoke(getter, static_cast<T*>(o));
}

template <class T, class S, class V>
void Set(const S& setter, TObject* o, V&& value)
{
    if constexpr (std::is_member_object_pointer_v<S>) {
        std::invoke(setter, static_cast<T*>(o)) = std::forward<V>(value);
    } else {
        std::invoke(setter, static_cast<T*>(o), std::forward<V>(value));
    }
}

template <class T, class G>
using ValueOf = std::remove_cvref_t<std::invoke_result_t<const G&, T*>>;

}  // namespace classes_detail

template <class T>
class TClassBuilder {
public:
    explicit TClassBuilder(TClassRecord& record) : record_(record) {}

    // Ordinal properties. The getter is a member function or a data member; the setter too
    // (omitted: the data member serves both).
    template <class G, class S>
    TPropBuilder Integer(const char* name, G getter, S setter)
    {
        using V = classes_detail::ValueOf<T, G>;
        static_assert(std::is_integral_v<V> && sizeof(V) <= 4, "Integer takes up to 32-bit integers");
        return Ordinal(name, TPropKind::Integer, getter, setter, std::numeric_limits<V>::min(),
                       std::numeric_limits<V>::max());
    }
    template <class M>
    TPropBuilder Integer(const char* name, M member) { return Integer(name, member, member); }

    template <class G, class S>
    TPropBuilder Int64(const char* name, G getter, S setter)
    {
        return Ordinal(name, TPropKind::Int64, getter, setter, std::numeric_limits<int64_t>::min(),
                       std::numeric_limits<int64_t>::max());
    }

    template <class G, class S>
    TPropBuilder Boolean(const char* name, G getter, S setter)
    {
        return Ordinal(name, TPropKind::Boolean, getter, setter, 0, 1);
    }
    template <class M>
    TPropBuilder Boolean(const char* name, M member) { return Boolean(name, member, member); }

    // Enumeration: names[n] is the name of the value n.
    template <class G, class S>
    TPropBuilder Enum(const char* name, G getter, S setter, std::vector<std::string> names)
    {
        const int64_t last = static_cast<int64_t>(names.size()) - 1;
        TPropBuilder p = Ordinal(name, TPropKind::Enumeration, getter, setter, 0, last);
        p.Info().MemberNames = std::move(names);
        return p;
    }

    // Set: names[n] is the name of the member whose bit is n.
    template <class G, class S>
    TPropBuilder Set(const char* name, G getter, S setter, std::vector<std::string> names)
    {
        const int64_t all = names.size() >= 32 ? 0xFFFFFFFFll : (int64_t{1} << names.size()) - 1;
        TPropBuilder p = Ordinal(name, TPropKind::Set, getter, setter, 0, all);
        p.Info().MemberNames = std::move(names);
        return p;
    }

    template <class G, class S>
    TPropBuilder String(const char* name, G getter, S setter)
    {
        auto info = NewProperty(name, TPropKind::String);
        info->GetString = [getter](TObject* o) { return std::string(classes_detail::Get<T>(getter, o)); };
        info->SetString = [setter](TObject* o, const std::string& v) { classes_detail::Set<T>(setter, o, v); };
        return TPropBuilder(record_.AddProperty(std::move(info)));
    }
    template <class M>
    TPropBuilder String(const char* name, M member) { return String(name, member, member); }

    template <class G, class S>
    TPropBuilder WideString(const char* name, G getter, S setter)
    {
        auto info = NewProperty(name, TPropKind::WideString);
        info->GetWide = [getter](TObject* o) { return std::wstring(classes_detail::Get<T>(getter, o)); };
        info->SetWide = [setter](TObject* o, const std::wstring& v) { classes_detail::Set<T>(setter, o, v); };
        return TPropBuilder(record_.AddProperty(std::move(info)));
    }
    template <class M>
    TPropBuilder WideString(const char* name, M member) { return WideString(name, member, member); }

    // Object property: a component reference when the class is a component, else a sub-object
    // whose own properties are written as "Name.Property". Without setter it is read-only.
    template <class G>
    TPropBuilder Object(const char* name, G getter)
    {
        using P = classes_detail::ValueOf<T, G>;
        static_assert(std::is_pointer_v<P>, "object properties are pointers");
        using C = std::remove_cv_t<std::remove_pointer_t<P>>;
        auto info = NewProperty(name, TPropKind::Object);
        info->ObjectClassOf = &C::StaticClass;
        info->GetObj = [getter](TObject* o) -> TObject* {
            return const_cast<C*>(classes_detail::Get<T>(getter, o));
        };
        return TPropBuilder(record_.AddProperty(std::move(info)));
    }
    template <class G, class S>
    TPropBuilder Object(const char* name, G getter, S setter)
    {
        using C = std::remove_cv_t<std::remove_pointer_t<classes_detail::ValueOf<T, G>>>;
        TPropBuilder p = Object(name, getter);
        p.Info().SetObj = [setter](TObject* o, TObject* v) {
            classes_detail::Set<T>(setter, o, static_cast<C*>(v));
        };
        return p;
    }

    // Event property over a TEvent data member, or a getter and setter of TEvent values.
    template <class M>
    TPropBuilder Event(const char* name, M member) { return Event(name, member, member); }
    template <class G, class S>
    TPropBuilder Event(const char* name, G getter, S setter)
    {
        using E = classes_detail::ValueOf<T, G>;
        auto info = NewProperty(name, TPropKind::Method);
        info->Signature = SignatureOf<typename E::Signature>();
        info->GetMethod = [getter](TObject* o) { return classes_detail::Get<T>(getter, o).Method(); };
        info->SetMethod = [setter](TObject* o, const TMethod& m) {
            if constexpr (std::is_member_object_pointer_v<S>) {
                std::invoke(setter, static_cast<T*>(o)).SetMethod(m);
            } else {
                E e;
                e.SetMethod(m);
                std::invoke(setter, static_cast<T*>(o), e);
            }
        };
        return TPropBuilder(record_.AddProperty(std::move(info)));
    }

    // Published method: bound by name to events in form resources.
    template <class C, class R, class... A>
    void Method(const char* name, R (C::*method)(A...))
    {
        static_assert(std::is_base_of_v<C, T> || std::is_same_v<C, T>, "a method of this class");
        using Code = R (TObject::*)(A...);
        record_.methods_.push_back(
            {name, MethodCast<TGenericMethod>(static_cast<Code>(method)), SignatureOf<R(A...)>()});
    }

    // Published field: a pointer to a component, set to the owned component of the same name.
    template <class C, class F>
    void Field(const char* name, F* C::*field)
    {
        static_assert(std::is_base_of_v<TComponent, F>, "fields hold components");
        record_.fields_.push_back({name, &F::StaticClass, [field](TObject* self, TComponent* value) {
                                       static_cast<T*>(self)->*field = static_cast<F*>(value);
                                   }});
    }

    // Moves the named published properties, inherited or own, to the end of the class's list in
    // this order: for a class whose form resources must list them in a given order. Every name
    // must be published by then (EComponentError otherwise).
    void Order(std::initializer_list<const char*> names)
    {
        for (const char* name : names) record_.MoveToEnd(name);
    }

    // An interface the class answers in GetInterface.
    template <class I>
    void Interface(const GUID& iid)
    {
        record_.interfaces_.push_back({iid, [](TObject* o) -> void* { return static_cast<I*>(static_cast<T*>(o)); }});
    }

private:
    std::unique_ptr<TPropInfo> NewProperty(const char* name, TPropKind kind)
    {
        auto info = std::make_unique<TPropInfo>();
        info->Name = name;
        info->Kind = kind;
        info->OwnerClass = &record_;
        return info;
    }

    template <class G, class S>
    TPropBuilder Ordinal(const char* name, TPropKind kind, G getter, S setter, int64_t min, int64_t max)
    {
        using V = classes_detail::ValueOf<T, G>;
        auto info = NewProperty(name, kind);
        info->MinValue = min;
        info->MaxValue = max;
        info->GetOrd = [getter](TObject* o) { return classes_detail::ToOrd<V>(classes_detail::Get<T>(getter, o)); };
        info->SetOrd = [setter](TObject* o, int64_t n) {
            classes_detail::Set<T>(setter, o, classes_detail::FromOrd<V>(n));
        };
        return TPropBuilder(record_.AddProperty(std::move(info)));
    }

    TClassRecord& record_;
};

namespace classes_detail {
template <class T>
TObject* Create(TComponent* owner)
{
    if constexpr (std::is_abstract_v<T>) {
        return nullptr;
    } else if constexpr (std::is_base_of_v<TComponent, T> && std::is_constructible_v<T, TComponent*>) {
        return new T(owner);
    } else {
        (void)owner;
        return new T();
    }
}
template <class T>
constexpr bool Creatable =
    !std::is_abstract_v<T> && ((std::is_base_of_v<TComponent, T> && std::is_constructible_v<T, TComponent*>) ||
                               std::is_default_constructible_v<T>);
}  // namespace classes_detail

template <class T>
TClassRecord::TClassRecord(const char* name, const TClassRecord* parent, TClassTag<T>)
{
    Factory factory = nullptr;
    if constexpr (classes_detail::Creatable<T>) factory = &classes_detail::Create<T>;
    Init(name, parent, factory);
    TClassBuilder<T> builder(*this);
    T::DescribeClass(builder);
}
