#include "StdCtrls.h"

#include <cctype>

bool IsAccel(WORD ch, const std::string& caption)
{
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(caption[i]))) {
            ++i;
            continue;
        }
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        const auto a = static_cast<unsigned char>(caption[i + 1]);
        return ch < 0x80 && std::toupper(a) == std::toupper(static_cast<unsigned char>(ch));
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// TButton

KERVO_CLASS_RECORD(TButton)
{
    b.Boolean("Cancel", &TButton::Cancel, &TButton::SetCancel).Default(false);
    b.Boolean("Default", &TButton::Default, &TButton::SetDefault).Default(false);
    b.Integer("ModalResult", &TButton::ModalResult, &TButton::SetModalResult).Default(0);
    b.Boolean("TabStop", &TButton::TabStop, &TButton::SetTabStop).Default(true);
}

TButton::TButton(TComponent* owner) : TWinControl(owner)
{
    SetControlStyle({TControlStyleFlag::csSetCaption, TControlStyleFlag::csDoubleClicks});
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
}

void TButton::AdjustCreateParams(TCreateParams& params)
{
    TWinControl::AdjustCreateParams(params);
    CreateSubClass(params, "BUTTON");
    params.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value)
{
    if (value == default_) return;
    default_ = value;
    TCustomForm* form = GetParentForm(this);
    if (HandleAllocated() && form) {
        form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(form->ActiveControl()));
    } else {
        active_ = value;
    }
}

void TButton::SetButtonStyle(bool defaultStyle)
{
    if (!HandleAllocated()) return;
    const LONG_PTR style = GetWindowLongPtrA(Handle(), GWL_STYLE) & 0x0F;
    const LONG_PTR wanted = defaultStyle ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if (style != wanted && (style == BS_PUSHBUTTON || style == BS_DEFPUSHBUTTON)) {
        SendMessageA(Handle(), BM_SETSTYLE, static_cast<WPARAM>(wanted), TRUE);
    }
}

void TButton::Click()
{
    if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
    TWinControl::Click();
}

void TButton::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case CN_COMMAND:
        if (HIWORD(message.WParam) == BN_CLICKED) Click();
        break;
    case CM_DIALOGKEY: {
        const WORD key = LOWORD(message.WParam);
        if (((key == VK_RETURN && active_) || (key == VK_ESCAPE && cancel_)) &&
            KeyDataToShiftState(message.LParam).Empty() && CanFocus()) {
            Click();
            message.Result = 1;
        } else {
            TWinControl::HandleWindowMessage(message);
        }
        break;
    }
    case CM_DIALOGCHAR:
        if (IsAccel(LOWORD(message.WParam), Caption()) && CanFocus()) {
            Click();
            message.Result = 1;
        } else {
            TWinControl::HandleWindowMessage(message);
        }
        break;
    case CM_FOCUSCHANGED: {
        auto* sender = reinterpret_cast<TWinControl*>(message.LParam);
        active_ = IsInstance<TButton>(sender) ? sender == this : default_;
        SetButtonStyle(active_);
        TWinControl::HandleWindowMessage(message);
        break;
    }
    case CM_TEXTCHANGED:
        Invalidate();
        break;
    default:
        TWinControl::HandleWindowMessage(message);
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// TLabel

KERVO_CLASS_RECORD(TLabel)
{
    b.Boolean("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize).Default(true);
    b.Boolean("ParentColor", &TLabel::ParentColor, &TLabel::SetParentColor).Default(true);
    b.Boolean("Transparent", &TLabel::Transparent, &TLabel::SetTransparent).Default(false);
    b.Boolean("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap).Default(false);
}

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner)
{
    SetControlStyle({TControlStyleFlag::csSetCaption, TControlStyleFlag::csOpaque});
    SetBounds(0, 0, 65, 17);
    SetParentColor(true);
}

void TLabel::SetAutoSize(bool value)
{
    if (value == autoSize_) return;
    autoSize_ = value;
    AdjustBounds();
}

void TLabel::SetTransparent(bool value)
{
    if (value == transparent_) return;
    transparent_ = value;
    TControlStyle style = ControlStyle();
    if (value) style.Exclude(TControlStyleFlag::csOpaque);
    else style.Include(TControlStyleFlag::csOpaque);
    SetControlStyle(style);
    Invalidate();
}

void TLabel::SetWordWrap(bool value)
{
    if (value == wordWrap_) return;
    wordWrap_ = value;
    AdjustBounds();
    Invalidate();
}

UINT TLabel::TextFlags() const { return DT_LEFT | DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : 0); }

void TLabel::AdjustBounds()
{
    if (!autoSize_ || IsLoading()) return;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, FontHandle());
    const std::string text = Caption();
    RECT r{0, 0, wordWrap_ ? Width() : 0, 0};
    if (text.empty()) {
        TEXTMETRICA tm{};
        GetTextMetricsA(dc, &tm);
        r.bottom = tm.tmHeight;
    } else {
        DrawTextA(dc, text.c_str(), -1, &r, TextFlags() | DT_CALCRECT);
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    SetBounds(Left(), Top(), wordWrap_ ? Width() : r.right, r.bottom);
}

void TLabel::AfterLoad()
{
    TGraphicControl::AfterLoad();
    AdjustBounds();
}

void TLabel::Paint()
{
    HDC dc = PaintDC();
    RECT r{0, 0, Width(), Height()};
    if (!transparent_) {
        HBRUSH brush = CreateSolidBrush(ColorValueToRGB(Color()));
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    }
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, FontHandle());
    const std::string text = Caption();
    if (Enabled()) {
        SetTextColor(dc, FontColorRGB());
        DrawTextA(dc, text.c_str(), -1, &r, TextFlags());
    } else {
        OffsetRect(&r, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextA(dc, text.c_str(), -1, &r, TextFlags());
        OffsetRect(&r, -1, -1);
        SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
        DrawTextA(dc, text.c_str(), -1, &r, TextFlags());
    }
    SelectObject(dc, oldFont);
    SetBkMode(dc, oldMode);
}

void TLabel::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        AdjustBounds();
        Invalidate();
        break;
    default:
        TGraphicControl::HandleWindowMessage(message);
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// TGroupBox

KERVO_CLASS_RECORD(TGroupBox) {}

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner)
{
    SetControlStyle({TControlStyleFlag::csAcceptsControls, TControlStyleFlag::csCaptureMouse,
                     TControlStyleFlag::csClickEvents, TControlStyleFlag::csSetCaption,
                     TControlStyleFlag::csDoubleClicks});
    SetBounds(0, 0, 185, 105);
    SetColor(SysColorValue(COLOR_BTNFACE));
    SetParentColor(true);
}

void TGroupBox::PaintWindow(HDC dc)
{
    RECT r;
    GetClientRect(Handle(), &r);
    HGDIOBJ oldFont = SelectObject(dc, FontHandle());
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    RECT frame = r;
    frame.top += tm.tmHeight / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    const std::string text = Caption();
    if (!text.empty()) {
        RECT t{8, 0, 0, 0};
        DrawTextA(dc, text.c_str(), -1, &t, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
        HBRUSH brush = CreateSolidBrush(ColorValueToRGB(Color()));
        FillRect(dc, &t, brush);
        DeleteObject(brush);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, Enabled() ? FontColorRGB() : GetSysColor(COLOR_GRAYTEXT));
        DrawTextA(dc, text.c_str(), -1, &t, DT_LEFT | DT_SINGLELINE);
    }
    SelectObject(dc, oldFont);
}

void TGroupBox::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case WM_PAINT:
        PaintHandler(message);
        break;
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_FONTCHANGED:
        TWinControl::HandleWindowMessage(message);
        Invalidate();
        break;
    default:
        TWinControl::HandleWindowMessage(message);
        break;
    }
}

namespace {
const bool registered = (RegisterClassRecords({&TButton::StaticClass(), &TLabel::StaticClass(), &TGroupBox::StaticClass()}), true);
}
