#include "ObjectInstance.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>

#include "SysUtils.h"

namespace {

// Every stub enters here. The stub has put the address of its slot where the window handle was
// (the first argument in both calling conventions), so this is an ordinary window procedure whose
// first argument is the slot; the window handle is not needed: the message record has no room
// for it.
struct Slot;
LRESULT CALLBACK StubEntry(Slot* slot, UINT msg, WPARAM wParam, LPARAM lParam);

#if defined(__x86_64__)
// mov rcx, imm64 (the slot); mov rax, imm64 (StubEntry); jmp rax.
// The arguments stay in rdx, r8, r9 and the caller's shadow space stays the callee's: a tail jump.
constexpr std::size_t kCodeStride = 32;
void WriteCode(unsigned char* code, const void* slot)
{
    const auto self = reinterpret_cast<std::uint64_t>(slot);
    const auto entry = reinterpret_cast<std::uint64_t>(&StubEntry);
    std::memset(code, 0xCC, kCodeStride);  // never reached
    code[0] = 0x48;
    code[1] = 0xB9;
    std::memcpy(code + 2, &self, 8);
    code[10] = 0x48;
    code[11] = 0xB8;
    std::memcpy(code + 12, &entry, 8);
    code[20] = 0xFF;
    code[21] = 0xE0;
}
#elif defined(__i386__)
// mov dword ptr [esp+4], imm32 (the slot over the window handle); jmp rel32 StubEntry.
// StubEntry is stdcall like the window procedure, so it also pops the caller's four arguments.
constexpr std::size_t kCodeStride = 16;
void WriteCode(unsigned char* code, const void* slot)
{
    const auto self = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(slot));
    const auto entry = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&StubEntry));
    const std::uint32_t next = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(code + 13));
    const std::uint32_t rel = entry - next;
    std::memset(code, 0xCC, kCodeStride);  // never reached
    code[0] = 0xC7;
    code[1] = 0x44;
    code[2] = 0x24;
    code[3] = 0x04;
    std::memcpy(code + 4, &self, 4);
    code[8] = 0xE9;
    std::memcpy(code + 9, &rel, 4);
}
#else
#error "window-procedure stubs are written for i686 and x86_64 only"
#endif

// What a stub reaches, in read-write memory apart from the code: the shell's process never holds
// a page that is writable and executable at once. The code of every stub of a block is written
// when the block is made, each with its slot's address, and its page is execute-read from then
// on; making and freeing a stub writes only its slot.
struct Slot {
    TWndMethod method;  // empty while the stub is free
    Slot* nextFree;
    bool inUse;
};

constexpr std::size_t kPage = 4096;
constexpr std::size_t kStubsPerBlock = kPage / kCodeStride;
static_assert(kStubsPerBlock >= 32);

// One allocation: a page of stub code, then the block's record and its slots.
struct Block {
    Block* next;
    unsigned char* code;
    std::size_t used;
    Slot slots[kStubsPerBlock];
};

constexpr std::size_t kDataBytes = (sizeof(Block) + kPage - 1) & ~(kPage - 1);

// The pool is never destroyed by the C++ run time: stubs may be freed from other objects'
// destructors at any point of the module's shut-down. Only idle blocks are released at the end.
// Every thread's windows take their stubs from it, so it is used under its lock (Threading.h).
struct Pool {
    std::mutex lock;
    Block* blocks = nullptr;
    Slot* freeList = nullptr;
};

Pool* poolInstance = nullptr;

Pool& ThePool()
{
    static Pool* pool = poolInstance = new Pool;
    return *pool;
}

void AddBlock(Pool& pool)
{
    auto* memory = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, kPage + kDataBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!memory) RaiseLastOSError();
    auto* block = new (memory + kPage) Block();
    block->code = memory;
    for (std::size_t i = 0; i < kStubsPerBlock; ++i) {
        WriteCode(memory + i * kCodeStride, &block->slots[i]);
    }
    DWORD old;
    if (!VirtualProtect(memory, kPage, PAGE_EXECUTE_READ, &old)) {
        const DWORD error = GetLastError();
        VirtualFree(memory, 0, MEM_RELEASE);
        RaiseLastOSError(error);
    }
    FlushInstructionCache(GetCurrentProcess(), memory, kPage);
    block->next = pool.blocks;
    pool.blocks = block;
    // Pushed from the last, so the block hands out its stubs in address order.
    for (std::size_t i = kStubsPerBlock; i-- > 0;) {
        block->slots[i].nextFree = pool.freeList;
        pool.freeList = &block->slots[i];
    }
}

// The block whose code holds p at a stub boundary, or null.
Block* BlockOfStub(Pool& pool, const void* p)
{
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    for (Block* block = pool.blocks; block; block = block->next) {
        const auto first = reinterpret_cast<std::uintptr_t>(block->code);
        if (address >= first && address < first + kPage) {
            return (address - first) % kCodeStride == 0 ? block : nullptr;
        }
    }
    return nullptr;
}

// Set on one thread, read by the stubs of all (Threading.h).
std::atomic<TStubExceptionHook> ExceptionHook{nullptr};

LRESULT CALLBACK StubEntry(Slot* slot, UINT msg, WPARAM wParam, LPARAM lParam)
{
    TMessage message{msg, wParam, lParam, 0};
    // A copy: the method may free its own stub (a window destroyed from its handler).
    const TWndMethod method = slot->method;
    if (!method) return 0;
    std::exception_ptr error;
    try {
        method(message);
    } catch (...) {
        error = std::current_exception();
    }
    if (error) ReportStubException(error);
    return message.Result;
}

// Releases the blocks whose stubs are all free when the module goes: a library that the shell
// loads and unloads again and again leaves no executable memory behind.
struct IdleBlockRelease {
    ~IdleBlockRelease()
    {
        if (!poolInstance) return;  // no stub was ever made
        Pool& pool = *poolInstance;
        std::lock_guard<std::mutex> guard(pool.lock);
        Block** link = &pool.blocks;
        while (Block* block = *link) {
            if (block->used == 0) {
                *link = block->next;
                VirtualFree(block->code, 0, MEM_RELEASE);
            } else {
                link = &block->next;
            }
        }
        // Rebuild the free list from the blocks that stay.
        pool.freeList = nullptr;
        for (Block* block = pool.blocks; block; block = block->next) {
            for (std::size_t i = kStubsPerBlock; i-- > 0;) {
                Slot& slot = block->slots[i];
                if (!slot.inUse) {
                    slot.nextFree = pool.freeList;
                    pool.freeList = &slot;
                }
            }
        }
    }
} idleBlockRelease;

}  // namespace

WNDPROC MakeObjectInstance(const TWndMethod& method)
{
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    if (!pool.freeList) AddBlock(pool);
    Slot* slot = pool.freeList;
    pool.freeList = slot->nextFree;
    slot->nextFree = nullptr;
    slot->method = method;
    slot->inUse = true;
    Block* block = pool.blocks;
    while (slot < block->slots || slot >= block->slots + kStubsPerBlock) block = block->next;
    ++block->used;
    unsigned char* code = block->code + (slot - block->slots) * kCodeStride;
    return reinterpret_cast<WNDPROC>(reinterpret_cast<void*>(code));
}

void FreeObjectInstance(WNDPROC procedure)
{
    if (!procedure) return;
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    const auto* code = reinterpret_cast<const unsigned char*>(reinterpret_cast<void*>(procedure));
    Block* block = BlockOfStub(pool, code);
    if (!block) return;
    Slot& slot = block->slots[(code - block->code) / kCodeStride];
    // Freeing twice would hand the stub to two owners.
    if (!slot.inUse) return;
    slot.inUse = false;
    slot.method = TWndMethod();
    slot.nextFree = pool.freeList;
    pool.freeList = &slot;
    --block->used;
}

TStubExceptionHook SetStubExceptionHook(TStubExceptionHook hook)
{
    return ExceptionHook.exchange(hook);
}

void ReportStubException(std::exception_ptr error)
{
    if (!error) return;
    if (TStubExceptionHook hook = ExceptionHook.load()) {
        try {
            hook(error);
        } catch (...) {
        }
    }
}
