#pragma once
// The message record that every message handler of the class library receives, and the
// window-procedure method: an object bound to one of its member functions, held as a plain value
// so that it can be stored, replaced and compared (a control's handler chain is a list of these).
#include <windows.h>

// Component messages of the action layer: an action without a handler of its own is offered to
// the application window (LParam: the action; a non-zero answer means it was taken care of).
constexpr UINT CM_ACTIONEXECUTE = 0xB040;
constexpr UINT CM_ACTIONUPDATE = 0xB041;

struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

class TWndMethod {
public:
    // The procedure part: one function per bound member function, so two methods bound to the
    // same member function have the same procedure part whatever their objects.
    using Procedure = void (*)(void* object, TMessage& message);

    constexpr TWndMethod() = default;
    constexpr TWndMethod(void* object, Procedure procedure) : object_(object), procedure_(procedure) {}

    // TWndMethod::Bind<&TSomeClass::Handler>(object). The procedure part depends on the member
    // function only: binding &TBase::Handler through a pointer to a derived object gives the same
    // procedure part as binding it through a pointer to the base.
    template <auto Member, class Object>
    static TWndMethod Bind(Object* object)
    {
        using Owner = typename MemberOwner<decltype(Member)>::type;
        Owner* owner = object;  // the adjusted base address, which Invoke casts back from
        return TWndMethod(static_cast<void*>(owner), &Invoke<Owner, Member>);
    }

    // The procedure part that Bind<Member> gives, to compare a method's procedure with.
    template <auto Member>
    static constexpr Procedure ProcedureOf()
    {
        return &Invoke<typename MemberOwner<decltype(Member)>::type, Member>;
    }

    void operator()(TMessage& message) const { procedure_(object_, message); }
    explicit operator bool() const { return procedure_ != nullptr; }

    void* Object() const { return object_; }
    Procedure Code() const { return procedure_; }

    friend bool operator==(const TWndMethod&, const TWndMethod&) = default;

private:
    template <class T>
    struct MemberOwner;
    template <class C>
    struct MemberOwner<void (C::*)(TMessage&)> {
        using type = C;
    };

    template <class Owner, auto Member>
    static void Invoke(void* object, TMessage& message)
    {
        (static_cast<Owner*>(object)->*Member)(message);
    }

    void* object_ = nullptr;
    Procedure procedure_ = nullptr;
};
