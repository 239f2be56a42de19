#pragma once
// miniwin: the installer's own compact window layer. One object base with a two-step reference
// count and an auto-free list, one growable pointer list, one window object that serves as a
// form, a push button and a group box, and one window procedure that every window of the layer
// shares. Text is ANSI (bytes of the system code page).
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "Graphics.h"

// The layer's window objects have an operation of this name; the Windows header's macro of the
// same name would rewrite it.
#undef CreateWindow

namespace miniwin {

class TMiniObject;
class TMiniList;
class TMiniControl;
class TMiniTool;

// An event: a routine and the object it belongs to. The routine gets the object and the sender.
struct TMiniEvent {
    void (*Code)(void* object, TMiniObject* sender) = nullptr;
    void* Object = nullptr;
    explicit operator bool() const { return Code != nullptr; }
    void operator()(TMiniObject* sender) const
    {
        if (Code) Code(Object, sender);
    }
};

// Binds a method `void T::M(TMiniObject* sender)` of obj as an event.
template <class T, void (T::*M)(TMiniObject*)>
TMiniEvent MiniMethod(T* obj)
{
    TMiniEvent e;
    e.Code = [](void* o, TMiniObject* sender) { (static_cast<T*>(o)->*M)(sender); };
    e.Object = obj;
    return e;
}

// ---------------------------------------------------------------------------------------------
// Object base and pointer list

class TMiniObject {
public:
    // Defaults of a freshly allocated (zero-filled) object.
    virtual void Init() {}
    // Runs Final and releases the memory. Call Free (or RefDec) rather than this.
    virtual void Destroy();

    void RefInc() { RefCount += 2; }
    void RefDec();
    // Runs OnDestroy, then the auto-free pairs (newest first), and frees the auto-free list.
    void Final();
    void AddToAutoFree(TMiniObject* other);

    int32_t RefCount = 0;   // 2 per reference; bit 0: a free is pending
    TMiniEvent OnDestroy;
    TMiniList* AutoFree = nullptr;

protected:
    TMiniObject() = default;
    virtual ~TMiniObject() = default;
    TMiniObject(const TMiniObject&) = delete;
    TMiniObject& operator=(const TMiniObject&) = delete;
};

// Allocates an object of class T with every field zero and runs its Init.
template <class T>
T* NewMiniObject()
{
    T* obj = new T();
    obj->Init();
    return obj;
}

// Destroys now when no reference is held; otherwise marks the free as pending so that the last
// RefDec destroys. Nothing for none; a second Free while pending does nothing.
void Free(TMiniObject* obj);

class TMiniList : public TMiniObject {
public:
    void Init() override { AddBy = 4; }
    void Destroy() override;

    void Add(void* p);
    void Insert(int index, void* p);
    void Delete(int index) { DeleteRange(index, 1); }
    void DeleteRange(int index, int n);
    int IndexOf(const void* p) const;
    void Remove(const void* p);
    void SetCapacity(int n);
    void Clear();
    void* Item(int index) const { return ItemBlock[index]; }

    void** ItemBlock = nullptr;
    int Count = 0;
    int Capacity = 0;
    int AddBy = 0;

private:
    void Grow();
};

TMiniList* NewMiniList();

// Two rectangles (16-byte blocks) are equal.
bool RectsEqual(const RECT& a, const RECT& b);

// ---------------------------------------------------------------------------------------------
// Text, path and command-line routines (searches step over double-byte characters)

// Copies at most limit characters and always a terminator: up to limit + 1 bytes.
char* CopyTextMax(char* dest, const char* source, int limit);
const char* FindChar(const char* text, char c);
const char* FindLastChar(const char* text, char c);
// Position of the last character that is one of the delimiters; the terminator's when none.
const char* FindLastOf(const char* text, const char* delimiters);
bool MemEqual(const void* a, const void* b, size_t n);

std::string FolderOfPath(const char* path);
std::string FileNameOfPath(const char* path);
// Index 0: the running program's full path; n >= 1: the n-th parameter of the command line.
std::string ExeParam(int index);
// Parameter n of a command line text: 0 is the program as written, 1 the first argument...
std::string CommandLineParam(const char* commandLine, int index);
// wvsprintfA with each value passed as one machine word (numbers or text pointers).
std::string FormatText(const char* format, std::initializer_list<LONG_PTR> values);

// ---------------------------------------------------------------------------------------------
// Colours, fonts and brushes

// The class library's colours: >= 0 is 0x00BBGGRR, < 0 a system colour (index in the low byte).
using TColorValue = TColor;
using ::clBtnFace;
using ::clWindowText;
using ::ColorToRGB;

enum class TMiniToolKind : int32_t { Font = 1, Brush = 2 };

// The 64-byte description of a tool: its colour, then (for a font) the font record.
struct TMiniToolData {
    TColorValue Color;
    LOGFONTA Font;
};
static_assert(sizeof(TMiniToolData) == 64, "tool data is one 64-byte block");

class TMiniTool : public TMiniObject {
public:
    void Destroy() override;

    TMiniToolKind Kind{};
    HGDIOBJ Handle = nullptr;
    TMiniTool* ParentTool = nullptr;
    TMiniEvent OnChange;
    COLORREF MadeRGB = 0;
    TMiniToolData Data{};
    TMiniTool* (*NewOfKind)() = nullptr;
    HGDIOBJ (*MakeHandle)(TMiniTool* tool) = nullptr;
};

TMiniTool* NewFont();
TMiniTool* NewBrush();
void SetDataWord(TMiniTool* tool, int offset, int32_t value);
void SetFontName(TMiniTool* tool, const char* name);
void Changed(TMiniTool* tool);
HGDIOBJ GetToolHandle(TMiniTool* tool);
TMiniTool* AssignTool(TMiniTool* target, TMiniTool* source);

constexpr int FontHeightOffset = 4;   // lfHeight within the tool data

// ---------------------------------------------------------------------------------------------
// Window objects

// A hook answers whether it handled the message; its answer travels in result.
using TMiniHookProc = bool (*)(TMiniControl* self, MSG& msg, LRESULT& result);
struct TMiniMessageHook {
    TMiniHookProc Code = nullptr;
    TMiniControl* Object = nullptr;
};
// The form's handler of Tab, arrow and page keys (see EnableTabKeys).
using TMiniTabKeyHandler = bool (*)(TMiniControl* control, UINT key, bool notKeyDown);

struct TMiniMargins {
    int Top = 0, Bottom = 0, Left = 0, Right = 0;
};

// The "no icon" value of SetWindowIcon and of a form's big icon (0 takes the default).
inline HICON MiniNoIcon() { return reinterpret_cast<HICON>(static_cast<LONG_PTR>(-1)); }

class TMiniControl : public TMiniObject {
public:
    void Init() override;
    void Destroy() override;
    // Links the object under its parent and takes over what a child inherits from it.
    virtual void InitParented(TMiniControl* parent, bool want3D);
    // Makes the window (parents first, then the children); false when it cannot be made.
    virtual bool CreateWindow();
    // The central message handler of every window of the layer.
    virtual LRESULT WndProc(MSG& msg);

    HWND Handle = nullptr;
    TMiniControl* Parent = nullptr;
    TMiniList* Children = nullptr;
    TMiniControl* CurrentControl = nullptr;   // forms only

    DWORD Style = 0, ExStyle = 0, ClassStyle = 0;
    std::string Caption;
    std::string SubclassName;
    WNDPROC PrevWndProc = nullptr;

    RECT Bounds{};
    TMiniMargins ClientMargins;
    int ChildMargin = 0;
    bool LeftSet = false, TopSet = false;

    TColorValue TextColor = 0, BkColor = 0;
    TMiniTool* Font = nullptr;
    TMiniTool* Brush = nullptr;
    HBRUSH BkBrush = nullptr;
    COLORREF BkBrushRGB = 0;

    HCURSOR Cursor = nullptr;
    HICON BigIcon = nullptr;

    bool IsControl = false, IsForm = false, IsButton = false, IsPushButton = false;
    bool Visible = false, TabStop = false, Enabled = false, ShowOnCreate = false;
    bool BeingDestroyed = false, WindowDestroyed = false;
    bool DefaultBtn = false, CancelBtn = false, FixedSize = false;
    bool Transparent = false, Ctl3D = false, ChildCtl3D = false;

    UINT ControlId = 0;
    int TabOrder = 0;
    int TabCounter = 0;   // forms: the last tab order handed out
    UINT KeyMask = 0;
    WORD ClickCode = 0, EnterCode = 0, LeaveCode = 0;
    TMiniEvent OnClick, OnEnter, OnLeave;

    TMiniList* Hooks = nullptr;   // pairs (hook routine, keep-after-quit flag)
    TMiniMessageHook MessageHook;
    TMiniMessageHook SavedHook;
    TMiniTabKeyHandler TabKeyHandler = nullptr;
    TMiniControl* DefaultButton = nullptr;   // forms
    TMiniControl* CancelButton = nullptr;    // forms
    int FixedWidth = 0, FixedHeight = 0;
    WPARAM SizeType = 0;
    int ShowAgain = 0;

private:
    bool destroyRunning_ = false;
    friend LRESULT CALLBACK MiniWindowProc(HWND, UINT, WPARAM, LPARAM);
};

// Globals of the layer.
extern TMiniControl* MainMiniWindow;
extern bool AppletRunning;
extern bool AppletTerminated;
extern TMiniControl* CreatingObject;
extern bool FocusChangeInProgress;   // set while the layer itself moves the focus
extern const char* const SelfProperty;   // "SELF_"

// Private messages of the layer.
constexpr UINT CM_DESTROYSELF = 0xB003;
constexpr UINT CM_COMMAND = 0xB005;       // a child's reflected WM_COMMAND
constexpr UINT CN_COLORBASE = 0xBC00;     // reflected WM_CTLCOLOR* messages: + 0xBC00

// Constructors.
TMiniControl* NewMiniForm(TMiniControl* parent, const char* caption);
TMiniControl* NewMiniButton(TMiniControl* parent, const char* caption);
TMiniControl* NewMiniGroupBox(TMiniControl* parent, const char* caption);

LRESULT CALLBACK MiniWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
void AttachProc(TMiniControl* obj, TMiniHookProc hook, bool keepAfterQuit = false);
LRESULT Perform(TMiniControl* obj, UINT message, WPARAM wParam, LPARAM lParam);
void PostClose(TMiniControl* obj);
void RunMainWindow(TMiniControl*& window);
bool PumpOneMessage(TMiniControl* mainWindow);
void PumpMessages(TMiniControl* mainWindow);
LRESULT CallDefaultProc(TMiniControl* obj, const MSG& msg);
bool IsMainWindow(const TMiniControl* obj);

// Hooks that constructors attach.
bool FormHook(TMiniControl* self, MSG& msg, LRESULT& result);
bool EraseBkgndHook(TMiniControl* self, MSG& msg, LRESULT& result);
bool ChildHook(TMiniControl* self, MSG& msg, LRESULT& result);

void SetCaption(TMiniControl* obj, const char* text);
HWND GetWindowHandle(TMiniControl* obj);
void SetVisible(TMiniControl* obj, bool on);
TMiniControl* ParentForm(TMiniControl* obj);

// Fonts, colours and background of window objects.
TMiniTool* GetFont(TMiniControl* control);
void FontChanged(TMiniControl* control, TMiniTool* font);
void ApplyFont(TMiniControl* control);
void BrushChanged(TMiniControl* control, TMiniTool* brush);
HBRUSH GetBackgroundBrush(TMiniControl* control);

// Position, size, styles and icon.
RECT GetBounds(TMiniControl* obj);
void SetBounds(TMiniControl* obj, const RECT& r);
void SetLeft(TMiniControl* obj, int left);
void SetTop(TMiniControl* obj, int top);
void SetWidth(TMiniControl* obj, int width);
void SetHeight(TMiniControl* obj, int height);
int Width(TMiniControl* obj);
int Height(TMiniControl* obj);
void PlaceAt(TMiniControl* obj, int left, int top);
void SizeTo(TMiniControl* obj, int width, int height);
RECT GetClientRect(TMiniControl* obj);
int ClientWidth(TMiniControl* obj);
int ClientHeight(TMiniControl* obj);
void SetClientWidth(TMiniControl* obj, int width);
void SetClientHeight(TMiniControl* obj, int height);
void ClientSizeTo(TMiniControl* obj, int width, int height);
void CenterOnParentOrScreen(TMiniControl* obj);
void SetStyle(TMiniControl* obj, DWORD style);
void SetExStyle(TMiniControl* obj, DWORD style);
void SetWindowIcon(TMiniControl* obj, HICON icon);
void Invalidate(TMiniControl* obj);

// Focus movement, dialog keys and fixed size.
void EnableTabKeys(TMiniControl* obj);
bool TabKeyHandler(TMiniControl* control, UINT key, bool notKeyDown);
void TabMove(TMiniControl* form, int direction);
void SetFocused(TMiniControl* obj);
void SetDialogKeyButton(TMiniControl* button, UINT key, bool on);
bool DialogKeyHook(TMiniControl* mainWindow, MSG& msg, LRESULT& result);
bool IsResizable(const TMiniControl* obj);
void SetResizable(TMiniControl* obj, bool on);
bool FixedSizeHook(TMiniControl* self, MSG& msg, LRESULT& result);
bool IsEnabled(const TMiniControl* obj);
bool IsShowing(TMiniControl* obj);

}  // namespace miniwin
