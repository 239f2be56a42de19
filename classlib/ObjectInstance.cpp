#include "ObjectInstance.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>

#include "SysUtils.h"

namespace {

// Every stub enters here. The stub has put its own address where the window handle was (the first
// argument in both calling conventions), so this is an ordinary window procedure whose first
// argument is the stub; the window handle is not needed: the message record has no room for it.
struct Stub;
LRESULT CALLBACK StubEntry(Stub* stub, UINT msg, WPARAM wParam, LPARAM lParam);

#if defined(__x86_64__)
// mov rcx, imm64 (the stub); mov rax, imm64 (StubEntry); jmp rax.
// The arguments stay in rdx, r8, r9 and the caller's shadow space stays the callee's: a tail jump.
constexpr std::size_t kCodeSize = 24;
void WriteCode(unsigned char* code, const void* stub)
{
    const auto self = reinterpret_cast<std::uint64_t>(stub);
    const auto entry = reinterpret_cast<std::uint64_t>(&StubEntry);
    code[0] = 0x48;
    code[1] = 0xB9;
    std::memcpy(code + 2, &self, 8);
    code[10] = 0x48;
    code[11] = 0xB8;
    std::memcpy(code + 12, &entry, 8);
    code[20] = 0xFF;
    code[21] = 0xE0;
    code[22] = 0xCC;  // never reached
    code[23] = 0xCC;
}
#elif defined(__i386__)
// mov dword ptr [esp+4], imm32 (the stub over the window handle); jmp rel32 StubEntry.
// StubEntry is stdcall like the window procedure, so it also pops the caller's four arguments.
constexpr std::size_t kCodeSize = 16;
void WriteCode(unsigned char* code, const void* stub)
{
    const auto self = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(stub));
    const auto entry = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&StubEntry));
    const std::uint32_t next = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(code + 13));
    const std::uint32_t rel = entry - next;
    code[0] = 0xC7;
    code[1] = 0x44;
    code[2] = 0x24;
    code[3] = 0x04;
    std::memcpy(code + 4, &self, 4);
    code[8] = 0xE9;
    std::memcpy(code + 9, &rel, 4);
    code[13] = 0xCC;
    code[14] = 0xCC;
    code[15] = 0xCC;
}
#else
#error "window-procedure stubs are written for i686 and x86_64 only"
#endif

// The code comes first: the stub's address is the window procedure's address.
struct Stub {
    unsigned char code[kCodeSize];
    TWndMethod method;  // empty while the stub is free
    Stub* nextFree;
    bool inUse;
};

constexpr std::size_t kBlockSize = 4096;

struct Block {
    Block* next;
    std::size_t used;
    // The stubs follow, aligned for code.
};

constexpr std::size_t kFirstStubOffset = (sizeof(Block) + 15) & ~std::size_t(15);
constexpr std::size_t kStubStride = (sizeof(Stub) + 15) & ~std::size_t(15);
constexpr std::size_t kStubsPerBlock = (kBlockSize - kFirstStubOffset) / kStubStride;
static_assert(kStubsPerBlock >= 32);

Stub* StubAt(Block* block, std::size_t i)
{
    return reinterpret_cast<Stub*>(reinterpret_cast<unsigned char*>(block) + kFirstStubOffset +
                                   i * kStubStride);
}

// The pool is never destroyed by the C++ run time: stubs may be freed from other objects'
// destructors at any point of the module's shut-down. Only idle blocks are released at the end.
struct Pool {
    std::mutex lock;
    Block* blocks = nullptr;
    Stub* freeList = nullptr;
};

Pool* poolInstance = nullptr;

Pool& ThePool()
{
    static Pool* pool = poolInstance = new Pool;
    return *pool;
}

void AddBlock(Pool& pool)
{
    void* memory = VirtualAlloc(nullptr, kBlockSize, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    if (!memory) RaiseLastOSError();
    auto* block = static_cast<Block*>(memory);
    block->next = pool.blocks;
    block->used = 0;
    pool.blocks = block;
    // Pushed from the last, so the block hands out its stubs in address order.
    for (std::size_t i = kStubsPerBlock; i-- > 0;) {
        Stub* stub = new (StubAt(block, i)) Stub();
        stub->nextFree = pool.freeList;
        pool.freeList = stub;
    }
}

// The block that holds p at a stub boundary, or null.
Block* BlockOfStub(Pool& pool, const void* p)
{
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    for (Block* block = pool.blocks; block; block = block->next) {
        const auto first = reinterpret_cast<std::uintptr_t>(StubAt(block, 0));
        const auto end = first + kStubsPerBlock * kStubStride;
        if (address >= first && address < end) {
            return (address - first) % kStubStride == 0 ? block : nullptr;
        }
    }
    return nullptr;
}

std::atomic<TStubExceptionHook> ExceptionHook{nullptr};

LRESULT CALLBACK StubEntry(Stub* stub, UINT msg, WPARAM wParam, LPARAM lParam)
{
    TMessage message{msg, wParam, lParam, 0};
    // A copy: the method may free its own stub (a window destroyed from its handler).
    const TWndMethod method = stub->method;
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
                VirtualFree(block, 0, MEM_RELEASE);
            } else {
                link = &block->next;
            }
        }
        // Rebuild the free list from the blocks that stay.
        pool.freeList = nullptr;
        for (Block* block = pool.blocks; block; block = block->next) {
            for (std::size_t i = kStubsPerBlock; i-- > 0;) {
                Stub* stub = StubAt(block, i);
                if (!stub->inUse) {
                    stub->nextFree = pool.freeList;
                    pool.freeList = stub;
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
    Stub* stub = pool.freeList;
    pool.freeList = stub->nextFree;
    stub->nextFree = nullptr;
    stub->method = method;
    stub->inUse = true;
    WriteCode(stub->code, stub);
    FlushInstructionCache(GetCurrentProcess(), stub->code, kCodeSize);
    ++BlockOfStub(pool, stub)->used;
    return reinterpret_cast<WNDPROC>(reinterpret_cast<void*>(stub));
}

void FreeObjectInstance(WNDPROC procedure)
{
    if (!procedure) return;
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    void* p = reinterpret_cast<void*>(procedure);
    Block* block = BlockOfStub(pool, p);
    if (!block) return;
    auto* stub = static_cast<Stub*>(p);
    // Freeing twice would hand the stub to two owners.
    if (!stub->inUse) return;
    stub->inUse = false;
    stub->method = TWndMethod();
    stub->nextFree = pool.freeList;
    pool.freeList = stub;
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
