#pragma once
// Controls: the visual components. TControl is anything with bounds on a parent; TGraphicControl
// has no window of its own and is painted by its parent, which also hands it the mouse;
// TWinControl owns a window, created on demand (parents first) from creation parameters that each
// class adjusts, and handles its messages through a replaceable window-procedure method whose
// default is the class's own handler.
//
// Message handling reads like a message map: each class's HandleWindowMessage is one switch over
// the messages it handles and passes the rest to its base class; the chain ends in
// DefaultHandler, which for a windowed control calls the control's default window procedure.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Classes.h"
#include "GdiScopes.h"
#include "Graphics.h"
#include "Messages.h"

class TControl;
class TWinControl;
class TCustomForm;
class TActionLink;

// The graphics unit's colour; SysColorValue is its SystemColor under the controls' older name.
constexpr TColor SysColorValue(int index) { return SystemColor(index); }

// ---------------------------------------------------------------------------------------------
// Component messages: sent between the controls of the library (Perform), never by Windows;
// one that comes through a window is another program's (see IsLibraryMessage).

constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0x00;
constexpr UINT CM_DEACTIVATE = CM_BASE + 0x01;
constexpr UINT CM_DIALOGKEY = CM_BASE + 0x05;        // WParam key, LParam key data; 1 = handled
constexpr UINT CM_DIALOGCHAR = CM_BASE + 0x06;       // WParam character; 1 = handled
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 0x07;     // LParam the control that took the focus
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 0x08;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 0x09;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 0x0B;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 0x0C;
constexpr UINT CM_COLORCHANGED = CM_BASE + 0x0D;
constexpr UINT CM_FONTCHANGED = CM_BASE + 0x0E;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 0x12;
constexpr UINT CM_MOUSEENTER = CM_BASE + 0x13;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 0x14;
constexpr UINT CM_BUTTONPRESSED = CM_BASE + 0x18;    // WParam group, LParam the sender
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 0x19;
constexpr UINT CM_ENTER = CM_BASE + 0x1A;
constexpr UINT CM_EXIT = CM_BASE + 0x1B;
constexpr UINT CM_WANTSPECIALKEY = CM_BASE + 0x1E;   // WParam key; 1 = the control takes it
constexpr UINT CM_RELEASE = CM_BASE + 0x21;          // posted to a form's window: free the form (its mark)
constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 0x22;
constexpr UINT CM_PARENTSHOWHINTCHANGED = CM_BASE + 0x23;
constexpr UINT CM_SYSCOLORCHANGE = CM_BASE + 0x24;
constexpr UINT CM_HINTSHOW = CM_BASE + 0x30;

// Notifications that a parent reflects to the child control they concern: the message number
// plus CN_BASE (CN_COMMAND is $BD11).
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_KEYUP = CN_BASE + WM_KEYUP;
constexpr UINT CN_CHAR = CN_BASE + WM_CHAR;
constexpr UINT CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
constexpr UINT CN_SYSCHAR = CN_BASE + WM_SYSCHAR;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;

// The library's own messages: the component range and the reflected system messages (below
// WM_USER, plus CN_BASE). They reach a control through Perform, never through its window.
constexpr bool IsLibraryMessage(UINT msg) { return msg >= CM_BASE && msg < CN_BASE + WM_USER; }

// What the library's windows (a control's, the application's) do first with a message that
// comes through the window. The library's own messages go from control to control through
// Perform, and the application's action handler is called directly; one that comes through a
// window is another thread's or another program's, and Windows passes those at and above WM_USER
// between processes as they stand: a number where the library keeps a pointer, a show or a
// release that nobody asked for. It goes on as WM_NULL, which the handlers and hooks pass and the
// default procedure answers 0, so that the layers in a chain see a message come and go as for any
// other. The one exception is a form's release, which must wait in the queue: it passes, and only
// a form acts on it, and only when it carries the mark the form put on its own. (Where a message
// came from cannot be asked: InSendMessageEx tells whether the thread is inside another thread's
// send, also for a message of its own that a nested loop dispatches meanwhile.)
inline void DisarmLibraryMessageFromOutside(TMessage& message)
{
    if (!IsLibraryMessage(message.Msg) || message.Msg == CM_RELEASE) return;
    message = TMessage{WM_NULL, 0, 0, 0};
}

// ---------------------------------------------------------------------------------------------
// Types of the controls' properties and events

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
enum class TShiftFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSmallSet<TShiftFlag>;

// The shift state of a mouse message's key flags (MK_...), with Alt from the keyboard.
TShiftState KeysToShiftState(WPARAM keys);
// The shift state of a key message's key data (lParam), from the keyboard state.
TShiftState KeyDataToShiftState(LPARAM keyData);

using TMouseEvent = TEvent<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = TEvent<void(TObject* sender, TShiftState shift, int x, int y)>;
// The key of a key-down or key-up event is a virtual-key code the handler may change; 0 swallows it.
using TKeyEvent = TEvent<void(TObject* sender, WORD& key, TShiftState shift)>;
// The character of a key press, one byte of the ANSI code page; 0 swallows it.
using TKeyPressEvent = TEvent<void(TObject* sender, char& key)>;
using TContextPopupEvent = TEvent<void(TObject* sender, POINT mousePos, bool& handled)>;
using TCanResizeEvent = TEvent<void(TObject* sender, int& newWidth, int& newHeight, bool& resize)>;
using TConstrainedResizeEvent =
    TEvent<void(TObject* sender, int& minWidth, int& minHeight, int& maxWidth, int& maxHeight)>;

enum class TControlStyleFlag {
    csAcceptsControls,  // may be the parent of other controls
    csCaptureMouse,     // captures the mouse from a press to the release
    csClickEvents,      // a press and release inside clicks
    csOpaque,           // paints its whole area: the parent does not erase under it
    csDoubleClicks,     // takes double-clicks as such (else as a second press)
    csFixedWidth,
    csFixedHeight,
    csNoStdEvents,      // no mouse and key events
};
using TControlStyle = TSmallSet<TControlStyleFlag>;

// Limits of a control's size; 0 is no limit.
class TSizeConstraints : public TPersistent {
    KERVO_CLASS(TSizeConstraints, TPersistent)
public:
    explicit TSizeConstraints(TControl* control = nullptr) : control_(control) {}
    int MaxHeight() const { return maxHeight_; }
    int MaxWidth() const { return maxWidth_; }
    int MinHeight() const { return minHeight_; }
    int MinWidth() const { return minWidth_; }
    void SetMaxHeight(int value);
    void SetMaxWidth(int value);
    void SetMinHeight(int value);
    void SetMinWidth(int value);
    void CopyFrom(TPersistent* source) override;

private:
    void Changed();
    TControl* control_;
    int maxHeight_ = 0, maxWidth_ = 0, minHeight_ = 0, minWidth_ = 0;
};

// ---------------------------------------------------------------------------------------------
// TControl

class TControl : public TComponent {
    KERVO_CLASS(TControl, TComponent)
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;
    void DestructionStarting() override;

    // Parent: the windowed control whose client area holds this one. Setting it moves the control
    // between parents' lists, tells it of the new parent's font and colour, and makes its window
    // when the new parent has one and the control is visible.
    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* parent) override;
    bool HasParent() const { return parent_ != nullptr; }

    // Bounds in the parent's client coordinates.
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
    void SetTop(int value) { SetBounds(left_, value, width_, height_); }
    void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
    void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
    virtual void SetBounds(int left, int top, int width, int height);
    RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
    virtual RECT ClientRect();
    int ClientWidth() { return ClientRect().right; }
    int ClientHeight() { return ClientRect().bottom; }
    void SetClientWidth(int value);
    void SetClientHeight(int value);
    POINT ClientToScreen(POINT p);
    POINT ScreenToClient(POINT p);
    TSizeConstraints* Constraints() const { return constraints_.get(); }

    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, with every parent up to a window that is not one of the library's visible too.
    virtual bool Showing() const;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);

    // The control's text (ANSI): the window text while the window exists. Setting it performs
    // WM_SETTEXT and then CM_TEXTCHANGED.
    std::string Text();
    void SetText(const std::string& value);
    std::string Caption() { return Text(); }
    void SetCaption(const std::string& value) { SetText(value); }
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& value) { hint_ = value; }
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value);
    bool ParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool value);

    TColor Color() const { return color_; }
    void SetColor(TColor value);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool value);
    // The control's font, made on first use (a copy of the parent's while ParentFont).
    TFont* Font();
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool value);
    // The font to draw with: the control's, else the parent's, else the system's GUI font.
    HFONT FontHandle();
    COLORREF FontColorRGB();

    TComponent* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TComponent* menu);
    TComponent* Action() const { return action_; }
    // Joins the action through a link of ActionLinkClass (a TBasicAction; another component
    // only takes the action change).
    void SetAction(TComponent* action);
    // The link to the action, or null.
    TActionLink* ActionLink() const { return actionLink_.get(); }
    // The class of the control's action link (a TActionLink descendant made from its record).
    virtual const TClassRecord& ActionLinkClass();
    // Takes the action's caption, hint, enabled and visible state (read from its published
    // properties); with checkDefaults only where the control still holds its default.
    virtual void ActionChange(TComponent* sender, bool checkDefaults);

    TControlStyle ControlStyle() const { return controlStyle_; }
    void SetControlStyle(TControlStyle style) { controlStyle_ = style; }

    // Sends a message through the control's window procedure at once and answers its result;
    // also for controls without a window.
    LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

    // The window-procedure method: replaceable and comparable, its default is HandleWindowMessage
    // of this object.
    const TWndMethod& WindowProc() const { return windowProc_; }
    void SetWindowProc(const TWndMethod& method) { windowProc_ = method; }
    TWndMethod DefaultWindowProc() { return TWndMethod::Bind<&TControl::HandleWindowMessage>(this); }
    // The class's handler: one switch per class, the rest to the base class.
    virtual void HandleWindowMessage(TMessage& message);
    // The end of the chain: a windowed control's default window procedure.
    virtual void DefaultHandler(TMessage& message);

    // Repaints the control's area soon (Invalidate) or now (Repaint, Update).
    virtual void Invalidate();
    virtual void Update();
    void Repaint();

    // Brings the control to the top of its siblings (a windowed control's window too).
    virtual void BringToFront();

    // Runs the action, else OnClick.
    virtual void Click();
    virtual void DblClick();

    bool MouseCapture() const;
    void SetMouseCapture(bool value);

    // The top-most parent (the control itself without parent), and the form above the control.
    TControl* TopParent();
    TCustomForm* ParentForm();

    // Events.
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TContextPopupEvent OnContextPopup;
    TNotifyEvent OnResize;
    TCanResizeEvent OnCanResize;
    TConstrainedResizeEvent OnConstrainedResize;

protected:
    void AfterLoad() override;
    void ComponentNotification(TComponent* component, TOperation operation) override;

    // The mouse steps; overrides call the inherited one first (it fires the event).
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void DoContextPopup(POINT mousePos, bool& handled);

    // The size answers: OnCanResize, then the constraints and OnConstrainedResize. False keeps
    // the old size.
    virtual bool CanResize(int& newWidth, int& newHeight);
    bool CheckNewSize(int& newWidth, int& newHeight);
    void ConstrainedResize(int& minWidth, int& minHeight, int& maxWidth, int& maxHeight);
    virtual void Resize();

    // The text as the control keeps it while it has no window.
    std::string& TextField() { return text_; }
    virtual bool IsColorStored() const { return !parentColor_; }
    bool IsFontStored() const { return !parentFont_; }
    bool IsShowHintStored() const { return !parentShowHint_; }
    void FontChanged();
    friend class TSizeConstraints;
    virtual void ConstraintsChanged();

    bool clicked_ = false;  // pressed inside, the release clicks
    // The Visible field alone, for constructors whose default differs.
    void SetVisibleField(bool value) { visible_ = value; }

private:
    void HandleMouseMessage(TMessage& message, TMouseButton button, bool down, bool dbl);
    void HandleContextMenu(TMessage& message);
    void DoActionChange(bool checkDefaults);

    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    std::string text_;
    std::string hint_;
    bool showHint_ = false;
    bool parentShowHint_ = true;
    TColor color_ = SysColorValue(COLOR_WINDOW);
    bool parentColor_ = false;
    bool parentFont_ = true;
    TComponent* popupMenu_ = nullptr;
    TComponent* action_ = nullptr;
    TControlStyle controlStyle_;
    // Freed in the reverse of this order: the action link, the font, the constraints.
    TObjectPtr<TSizeConstraints> constraints_;
    TObjectPtr<TFont> font_;
    TObjectPtr<TActionLink> actionLink_;
    TWndMethod windowProc_;
    friend class TWinControl;
};

// The windowless control that has the mouse captured, or null.
// Per thread.
TControl* CaptureControl();
void SetCaptureControl(TControl* control);
// Drops the record without releasing the system's capture (it has gone elsewhere already).
void ForgetCaptureControl();
// WM_MOUSEFIRST to WM_MBUTTONDBLCLK.
bool IsMouseMessage(UINT msg);

// ---------------------------------------------------------------------------------------------
// Creation parameters

struct TCreateParams {
    std::string Caption;           // ANSI window text
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    void* Param = nullptr;         // creation data
    WNDCLASSA WindowClass{};       // the class registered for the control's windows
    char WinClassName[64] = {};    // the control's class name, at most 63 characters and a zero
};

// The control whose window the library is creating now (read by the window-creation procedure
// on the window's first message), or null. Per thread.
TWinControl* ControlBeingCreated();
void SetControlBeingCreated(TWinControl* control);

// The library's own window-creation procedure: the lpfnWndProc of every window class it
// registers. On a window's first message it gives the control being created its handle,
// installs the control's stub as the window's procedure, gives a child with ID 0 its handle as
// ID, records the control under the two window-property atoms and passes the message on.
LRESULT CALLBACK StandardInitWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

// The two window-property atoms under which a window records its control: the window atom is
// named after the process, the control atom after this module's instance and the thread that
// first asked for them (each 8 upper-case hexadecimal digits). Added on first use; deleted when
// the module unloads.
ATOM WindowAtom();
ATOM ControlAtom();
std::string WindowAtomName();
std::string ControlAtomName();

// Whether a WM_DESTROY or WM_NCDESTROY (message) that reaches the window can be the system's
// destruction of it rather than one that a program sent or posted: the window is off the screen
// (it or a window above it hidden, or a window above it gone) and, at WM_NCDESTROY, has no child
// window of its own thread left. At WM_DESTROY a hidden window cannot be told from one being destroyed: what must
// not be done to a window that lives on waits for WM_NCDESTROY. A forged WM_NCDESTROY passes the
// test only on a hidden window without such child windows.
bool IsRealDestruction(HWND window, UINT message);

// The library control of a window of this process and module, or null.
TWinControl* FindControl(HWND window);
// The control of a window or of its nearest parent that has one (a window a control made inside
// itself, such as a combo box's edit, stands for that control), or null.
TWinControl* FindControlOrParent(HWND window);
// The control under a screen point: the window there (or its nearest parent with a control), then
// that control's windowless child under the point.
TControl* FindControlAtScreenPos(POINT screenPos, bool allowDisabled);

// Registers (or finds) a window class of this module for every thread, under the lock of the
// window classes (Threading.h): an existing class with the same procedure is kept, one with
// another procedure is registered again; with systemProcedure (the class's procedure is the
// system's default one, which no earlier load of the module can have left dangling) any existing
// class of the name is kept. Every window class of the library is registered through these.
void RegisterWindowClass(const WNDCLASSA& windowClass, bool systemProcedure = false);
void RegisterWindowClass(const WNDCLASSW& windowClass, bool systemProcedure = false);
// The window class of params under this module's instance, with the creation procedure.
void RegisterControlWindowClass(TCreateParams& params);
// The unload step: unregisters what RegisterWindowClass registered and deletes the atoms.
void UnregisterWindowClasses();

// ---------------------------------------------------------------------------------------------
// TWinControl

class TWinControl : public TControl {
    KERVO_CLASS(TWinControl, TControl)
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;
    void DestructionStarting() override;

    // The window, created on demand (the parent's first).
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    void HandleNeeded();
    // Destroys the window (the control's state kept, through BeforeWindowDestroyed) and makes it
    // again when it is needed.
    void RecreateWnd();
    // The control's children: windowless and windowed, each in z-order (the first at the bottom).
    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const { return controls_.at(index); }
    const std::vector<TControl*>& ControlList() const { return controls_; }
    bool ContainsControl(TControl* control) const;
    // The child under a client point (the top-most), windowless ones only unless allowWinControls.
    TControl* ControlAtPos(POINT p, bool allowDisabled, bool allowWinControls = false);

    // A window that is not the library's as the parent of a top-level control (the band's site).
    HWND ParentWindow() const { return parentWindow_; }
    void SetParentWindow(HWND window);

    // The window procedure that DefaultHandler calls; while a subclass is installed, its own.
    WNDPROC DefWndProc() const { return defWndProc_; }
    void SetDefWndProc(WNDPROC proc) { defWndProc_ = proc; }
    // The main entry of the window's messages (the object's stub calls it): the window-procedure
    // method inside the exception barrier.
    void MainWndProc(TMessage& message);
    WNDPROC ObjectInstance() const { return objectInstance_; }
    // Gives the control its new window (the creation procedures call it).
    void AttachHandle(HWND window) { handle_ = window; }

    void HandleWindowMessage(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;
    const TClassRecord& ActionLinkClass() override;
    // Sends the message to every child until one answers non-zero.
    void Broadcast(TMessage& message);
    // Performs the message on every child.
    void NotifyControls(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

    // Focus and tab order.
    bool Focused() const;
    virtual bool CanFocus();
    virtual void SetFocus();
    int TabOrder() const;
    void SetTabOrder(int value);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value);
    // The next focusable control after current in this control's tab order (children at any
    // depth), forward or back, wrapping; null when none.
    TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent);
    void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);
    void GetTabOrderList(std::vector<TWinControl*>& list);

    void Invalidate() override;
    void Update() override;
    void BringToFront() override;
    void SetBounds(int left, int top, int width, int height) override;
    RECT ClientRect() override;
    bool Showing() const override;

    HBRUSH BrushHandle();

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;

    // The key steps (fire the events; the form's key preview first). True when the key was
    // swallowed (set to 0), so that the window does not see it.
    bool DoKeyDown(TMessage& message);
    bool DoKeyPress(TMessage& message);
    bool DoKeyUp(TMessage& message);

protected:
    // Fills the creation parameters; overrides call the inherited one first and adjust.
    virtual void AdjustCreateParams(TCreateParams& params);
    // Superclassing: the window-class record taken from a system class.
    void CreateSubClass(TCreateParams& params, const char* systemClassName);
    // Makes the window from the parameters (the window-creation procedure gives the control its
    // handle).
    virtual void MakeWindowHandle(const TCreateParams& params);
    // The window's creation: parameters, class, MakeWindowHandle, then font, text and children.
    // Overrides wrap the inherited step (state to carry before, finishing touches after).
    virtual void AfterWindowCreated();
    // The window's destruction when it is to be made again (not when the control is freed):
    // keeps the text, then destroys the window. Overrides save their state first.
    virtual void BeforeWindowDestroyed();
    void DestroyWindowHandle();
    void DestroyHandle();

    virtual void KeyDown(WORD& key, TShiftState shift);
    virtual void KeyUp(WORD& key, TShiftState shift);
    virtual void KeyPress(char& key);

    // Paints the windowless children over the device context, clipped to their bounds.
    void PaintControls(HDC dc, TControl* first);
    // WM_PAINT of a window with windowless children: the window paints itself into the context
    // (PaintWindow), then the children over it.
    void PaintHandler(TMessage& message);
    virtual void PaintWindow(HDC dc);

    void AfterLoad() override;
    void ComponentNotification(TComponent* component, TOperation operation) override;
    // CN_CTLCOLOR* (and a combo box's WM_CTLCOLOR* from its own edit and list): the control's
    // text and background colours into the context, its brush as the answer.
    void ColorChildMessage(TMessage& message);
    // True while RecreateWnd destroys and makes the window again.
    bool Recreating() const { return recreating_; }
    // True while the library destroys the control's own window (to free the control or make the
    // window again); a WM_NCDESTROY outside it means that something else destroyed the window,
    // its parent going with it, say.
    bool DestroyingOwnWindow() const { return destroyingWindow_; }

private:
    friend class TControl;
    friend LRESULT CALLBACK StandardInitWndProc(HWND, UINT, WPARAM, LPARAM);
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    // A WM_DESTROY or WM_NCDESTROY that is not the destruction of the control's window (see
    // IsRealDestruction): MainWndProc drops it.
    bool IsForgedDestruction(const TMessage& message) const;
    bool RouteMouseToChild(TMessage& message);
    bool ReflectToChild(TMessage& message, HWND child);
    void UpdateBoundsFromWindow();
    void UpdateShowing();
    void UpdateControlState();
    void CreateChildHandles();

    // The longer cases of HandleWindowMessage, one message each.
    void EraseBackgroundMessage(TMessage& message);
    void ContextMenuMessage(TMessage& message);
    void PositionChangingMessage(TMessage& message);
    void SizeMessage(TMessage& message);
    void ChildKeyDownMessage(TMessage& message);  // CN_KEYDOWN, CN_SYSKEYDOWN: dialog keys
    void ChildSysCharMessage(TMessage& message);

    HWND handle_ = nullptr;
    HWND parentWindow_ = nullptr;
    WNDPROC defWndProc_ = nullptr;
    WNDPROC objectInstance_ = nullptr;
    std::vector<TControl*> controls_;
    std::vector<TWinControl*> tabList_;
    bool tabStop_ = false;
    int pendingTabOrder_ = -1;
    TGdiObject<HBRUSH> brush_;  // of brushColor_, made on demand
    TColor brushColor_ = 0;
    bool recreating_ = false;
    bool destroyingWindow_ = false;
    bool showing_ = false;
};

// ---------------------------------------------------------------------------------------------
// TGraphicControl: no window; its parent paints it through Paint and hands it the mouse.

class TGraphicControl : public TControl {
    KERVO_CLASS(TGraphicControl, TControl)
public:
    explicit TGraphicControl(TComponent* owner);
    void HandleWindowMessage(TMessage& message) override;

protected:
    // The device context of the paint in progress, origin at the control's top-left corner and
    // clipped to its bounds; null outside Paint.
    HDC PaintDC() const { return paintDC_; }
    virtual void Paint() {}

private:
    HDC paintDC_ = nullptr;
};

// The form that holds a control (its top-most parent when that is a form), or null.
TCustomForm* GetParentForm(TControl* control);
