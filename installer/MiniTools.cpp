// Fonts and brushes as small tool objects whose GDI handle is made on demand and shared with the
// tool they were copied from while both describe the same thing; colours that may name a system
// colour; the solid background brush of each window object.
#include "MiniInternal.h"

#include <cstring>

namespace miniwin {

namespace {

HGDIOBJ MakeFontHandle(TMiniTool* tool) { return CreateFontIndirectA(&tool->Data.Font); }

HGDIOBJ MakeBrushHandle(TMiniTool* tool) { return CreateSolidBrush(ColorToRGB(tool->Data.Color)); }

void FontChangedEvent(void* control, TMiniObject* sender)
{
    FontChanged(static_cast<TMiniControl*>(control), static_cast<TMiniTool*>(sender));
}

void BrushChangedEvent(void* control, TMiniObject* sender)
{
    BrushChanged(static_cast<TMiniControl*>(control), static_cast<TMiniTool*>(sender));
}

// The face name field holds 32 bytes with the terminator: at most 31 characters fit.
constexpr int kFaceNameMax = LF_FACESIZE - 1;

}  // namespace

TMiniTool* NewFont()
{
    TMiniTool* tool = NewMiniObject<TMiniTool>();
    tool->Kind = TMiniToolKind::Font;
    tool->Data.Color = clWindowText;
    tool->Data.Font.lfCharSet = DEFAULT_CHARSET;
    CopyTextMax(tool->Data.Font.lfFaceName, "MS Sans Serif", kFaceNameMax);
    tool->NewOfKind = &NewFont;
    tool->MakeHandle = &MakeFontHandle;
    return tool;
}

TMiniTool* NewBrush()
{
    TMiniTool* tool = NewMiniObject<TMiniTool>();
    tool->Kind = TMiniToolKind::Brush;
    tool->Data.Color = clBtnFace;
    tool->NewOfKind = &NewBrush;
    tool->MakeHandle = &MakeBrushHandle;
    return tool;
}

void TMiniTool::Destroy()
{
    if (Handle) DeleteObject(Handle);
    Handle = nullptr;
    TMiniObject::Destroy();
}

void SetDataWord(TMiniTool* tool, int offset, int32_t value)
{
    if (!tool || offset < 0 || offset + 4 > static_cast<int>(sizeof(TMiniToolData))) return;
    auto* bytes = reinterpret_cast<unsigned char*>(&tool->Data) + offset;
    int32_t old;
    std::memcpy(&old, bytes, sizeof old);
    if (old == value) return;
    std::memcpy(bytes, &value, sizeof value);
    Changed(tool);
}

void SetFontName(TMiniTool* tool, const char* name)
{
    if (!tool) return;
    if (!name) name = "";
    // Compared over what the field can hold, so that a name too long for it, once stored
    // shortened, counts as unchanged when it is set again.
    if (std::strncmp(tool->Data.Font.lfFaceName, name, kFaceNameMax) == 0) return;
    std::memset(tool->Data.Font.lfFaceName, 0, sizeof tool->Data.Font.lfFaceName);
    CopyTextMax(tool->Data.Font.lfFaceName, name, kFaceNameMax);
    Changed(tool);
}

void Changed(TMiniTool* tool)
{
    if (!tool) return;
    HGDIOBJ old = tool->Handle;
    tool->Handle = nullptr;
    if (old) {
        // Users take the new handle before the old one goes.
        tool->OnChange(tool);
        DeleteObject(old);
        tool->OnChange(tool);
    } else {
        tool->OnChange(tool);
    }
}

HGDIOBJ GetToolHandle(TMiniTool* tool)
{
    for (TMiniTool* t = tool; t;) {
        if (t->Handle && ColorToRGB(t->Data.Color) != t->MadeRGB) Changed(t);
        if (t->Handle) return t->Handle;
        if (t->ParentTool && MemEqual(&t->ParentTool->Data, &t->Data, sizeof t->Data)) {
            t = t->ParentTool;
            continue;
        }
        t->MadeRGB = ColorToRGB(t->Data.Color);
        t->Handle = t->MakeHandle ? t->MakeHandle(t) : nullptr;
        return t->Handle;
    }
    return nullptr;
}

TMiniTool* AssignTool(TMiniTool* target, TMiniTool* source)
{
    if (!source) {
        Free(target);
        return nullptr;
    }
    if (!target) target = source->NewOfKind();
    if (target == source || (target->Handle && target->Handle == source->Handle)) return target;
    Changed(target);
    target->Data = source->Data;
    Changed(target);
    return target;
}

// ---------------------------------------------------------------------------------------------

TMiniTool* GetFont(TMiniControl* control)
{
    if (!control->Font) {
        TMiniTool* font = NewFont();
        font->Data.Color = control->TextColor;
        font->OnChange.Code = &FontChangedEvent;
        font->OnChange.Object = control;
        control->Font = font;
    }
    return control->Font;
}

void FontChanged(TMiniControl* control, TMiniTool* font)
{
    if (!control || !font) return;
    control->TextColor = font->Data.Color;
    ApplyFont(control);
    Invalidate(control);
}

void ApplyFont(TMiniControl* control)
{
    if (!control->Font || !control->Handle || control->WindowDestroyed) return;
    control->TextColor = control->Font->Data.Color;
    SendMessageA(control->Handle, WM_SETFONT,
                 reinterpret_cast<WPARAM>(GetToolHandle(control->Font)), 0xFFFF);
}

void BrushChanged(TMiniControl* control, TMiniTool* brush)
{
    if (!control || !brush) return;
    control->BkColor = brush->Data.Color;
    if (control->BkBrush) DeleteObject(control->BkBrush);
    control->BkBrush = nullptr;
    Invalidate(control);
}

HBRUSH GetBackgroundBrush(TMiniControl* control)
{
    TMiniControl* owner = control;
    while (owner->Parent && owner->Parent->BkColor == control->BkColor) owner = owner->Parent;
    COLORREF rgb = ColorToRGB(owner->BkColor);
    if (owner->BkBrush && rgb != owner->BkBrushRGB) {
        DeleteObject(owner->BkBrush);
        owner->BkBrush = nullptr;
    }
    if (!owner->BkBrush) {
        owner->BkBrush = CreateSolidBrush(rgb);
        owner->BkBrushRGB = rgb;
    }
    return owner->BkBrush;
}

void LinkCopiedTools(TMiniControl* obj, TMiniControl* parent)
{
    obj->Font = AssignTool(nullptr, GetFont(parent));
    obj->Font->ParentTool = parent->Font;
    obj->Font->OnChange.Code = &FontChangedEvent;
    obj->Font->OnChange.Object = obj;
    obj->Brush = AssignTool(nullptr, parent->Brush);
    if (obj->Brush) {
        obj->Brush->ParentTool = parent->Brush;
        obj->Brush->OnChange.Code = &BrushChangedEvent;
        obj->Brush->OnChange.Object = obj;
    }
}

}  // namespace miniwin
