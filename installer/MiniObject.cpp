// The object base of the layer with its two-step reference count and auto-free list, and the
// growable pointer list every collection of the layer uses.
#include "miniwin.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace miniwin {

namespace {

// The routine of an auto-free pair: frees its argument.
void FreeRoutine(void* arg) { Free(static_cast<TMiniObject*>(arg)); }

using TPairRoutine = void (*)(void*);

}  // namespace

void TMiniObject::Destroy()
{
    Final();
    delete this;
}

void TMiniObject::RefDec()
{
    RefCount -= 2;
    // Negative and odd: a free was requested and this was the last reference.
    if (RefCount < 0 && (RefCount & 1)) Destroy();
}

void Free(TMiniObject* obj)
{
    if (!obj) return;
    if (obj->RefCount == 0) {
        obj->Destroy();
    } else if (obj->RefCount >= 2 && !(obj->RefCount & 1)) {
        obj->RefCount -= 1;
    }
}

void TMiniObject::Final()
{
    TMiniEvent onDestroy = OnDestroy;
    OnDestroy = TMiniEvent();
    if (onDestroy) onDestroy(this);

    TMiniList* pairs = AutoFree;
    AutoFree = nullptr;
    if (pairs) {
        for (int i = 0; i + 1 < pairs->Count; i += 2) {
            auto routine = reinterpret_cast<TPairRoutine>(pairs->Item(i));
            routine(pairs->Item(i + 1));
        }
        Free(pairs);
    }
}

void TMiniObject::AddToAutoFree(TMiniObject* other)
{
    if (!AutoFree) AutoFree = NewMiniList();
    // Newest pair first, so objects go in the reverse order of their addition.
    AutoFree->Insert(0, other);
    AutoFree->Insert(0, reinterpret_cast<void*>(&FreeRoutine));
}

// ---------------------------------------------------------------------------------------------

TMiniList* NewMiniList() { return NewMiniObject<TMiniList>(); }

void TMiniList::Destroy()
{
    Clear();
    TMiniObject::Destroy();
}

void TMiniList::Grow()
{
    if (Count >= Capacity) SetCapacity(Capacity + (AddBy > 0 ? AddBy : 4));
}

void TMiniList::Add(void* p)
{
    Grow();
    ItemBlock[Count++] = p;
}

void TMiniList::Insert(int index, void* p)
{
    if (index < 0) index = 0;
    if (index > Count) index = Count;
    Grow();
    std::memmove(ItemBlock + index + 1, ItemBlock + index,
                 static_cast<size_t>(Count - index) * sizeof(void*));
    ItemBlock[index] = p;
    ++Count;
}

void TMiniList::DeleteRange(int index, int n)
{
    if (n <= 0 || index < 0 || index >= Count) return;
    if (n > Count - index) n = Count - index;
    std::memmove(ItemBlock + index, ItemBlock + index + n,
                 static_cast<size_t>(Count - index - n) * sizeof(void*));
    Count -= n;
}

int TMiniList::IndexOf(const void* p) const
{
    for (int i = 0; i < Count; ++i)
        if (ItemBlock[i] == p) return i;
    return -1;
}

void TMiniList::Remove(const void* p)
{
    int i = IndexOf(p);
    if (i >= 0) Delete(i);
}

void TMiniList::SetCapacity(int n)
{
    if (n < Count) n = Count;
    if (n == Capacity) return;
    if (n == 0) {
        std::free(ItemBlock);
        ItemBlock = nullptr;
    } else {
        void* block = std::realloc(ItemBlock, static_cast<size_t>(n) * sizeof(void*));
        if (!block) throw std::bad_alloc();
        ItemBlock = static_cast<void**>(block);
    }
    Capacity = n;
}

void TMiniList::Clear()
{
    std::free(ItemBlock);
    ItemBlock = nullptr;
    Count = 0;
    Capacity = 0;
}

bool RectsEqual(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace miniwin
