#pragma once
// The threads that use the class library, and what its state shared by the whole process must
// therefore be. Written down here once; the state that follows it points here.
//
// The settings program and the installer each run one thread. The band library runs inside the
// shell's process, which may create bands on several of its threads while the library is loaded
// once for all of them. A band object, its form and everything of the form (controls, windows,
// timer, menus) belong to the thread that created the band and are used on that thread only,
// from its message loop (apartment threading); the library starts no thread of its own.
//
// State of the process that band code touches is therefore one of three kinds:
// - about the calling thread's windows (the control whose window is being made, the control
//   that holds the mouse, the flat button that is hot, the window that owns the menus a thread
//   shows, how deep the thread is in reading nested form resources): kept per thread, in plain
//   thread-local values that need no clean-up, since the library may be unloaded while the
//   shell's threads go on;
// - shared by every thread (menu command numbers, the window classes, the window-property atoms,
//   the list of popup menus, the pool of window-procedure stubs, the Unicode layer's caption
//   holders and the traps waiting between two windows of a control): made and changed under a lock;
//   every window class of the library, whichever unit needs it, is registered through
//   RegisterWindowClass (Controls.h);
// - single values that another thread reads (the count of live band forms, which
//   DllCanUnloadNow reads on whatever thread COM asks from; the popup list in force; the stubs'
//   exception hook): atomic.
// Apart from these, the Unicode layer's message hook serves the thread that loaded the library
// only (WideForms.h).
