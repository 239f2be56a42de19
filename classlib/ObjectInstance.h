#pragma once
// Window procedures bound to objects. Windows calls a window procedure with a handle and three
// values and nothing else; to reach an object's method, each binding gets its own small piece of
// generated machine code (a stub) that carries the method and enters common code, which builds a
// TMessage {Msg, WParam, LParam, Result = 0}, calls the method and returns Result.
//
// Stubs live in execute-read pages of the module, many to a page, each reaching its method through
// a slot in read-write memory apart from the code; a freed stub is reused by the next request. Only the stub's memory is ours: whoever installed a stub as a window's
// procedure must put the previous procedure back before freeing it.
#include <windows.h>

#include <exception>

#include "Messages.h"

// A window procedure that calls method with each message. Raises the OS error when no executable
// memory can be had.
WNDPROC MakeObjectInstance(const TWndMethod& method);

// Frees a stub of MakeObjectInstance for reuse. Null, a stub already freed and anything that is
// not a stub of this module are ignored. A stub freed while it runs finishes its call; a window
// that still calls a freed stub gets 0 and reaches no object.
void FreeObjectInstance(WNDPROC stub);

// An exception that leaves a bound method ends in this hook (Windows' frames cannot be unwound),
// after which the stub returns the message's Result as it stood. The application sets a hook that
// shows the exception; the default swallows it. A hook that itself raises is swallowed too.
using TStubExceptionHook = void (*)(std::exception_ptr error);

// Installs hook (null: back to swallowing) and returns the previous one (null for the default).
TStubExceptionHook SetStubExceptionHook(TStubExceptionHook hook);

// Hands an exception to the hook as a stub does, for a handler that catches it itself (to keep
// a state of its own while the error is shown). A hook that raises is swallowed.
void ReportStubException(std::exception_ptr error);
