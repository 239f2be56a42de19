// The band's context menu: the band form's BandContextMenu merged into the shell's menu of the
// band, and the shell's choice carried out through the menu's command dispatch.
#include <algorithm>
#include <cstring>

#include "Menus.h"
#include "zBandForms.h"
#include "zBandObject.h"

namespace {

TPopupMenu* BandMenuOf(TzBandForm* form)
{
    return form ? form->BandContextMenu() : nullptr;
}

// At most cchMax - 1 bytes of the text and a terminating zero; nothing with no room at all.
void CopyCommandString(const std::string& text, LPSTR buffer, UINT cchMax)
{
    if (cchMax == 0) return;
    const size_t n = std::min<size_t>(text.size(), cchMax - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

UINT CheckedCommandID(uint16_t command, UINT idCmdFirst)
{
    const UINT id = idCmdFirst + command;
    if (id < idCmdFirst) throw EIntOverflow(std::wstring(L"整数オーバーフロー"));
    return id;
}

}  // namespace

HRESULT TzContextMenuBandObject::InnerQueryInterface(REFIID iid, void** out)
{
    if (IsEqualIID(iid, IID_IContextMenu)) return Answer<IContextMenu>(&contextMenu_, out);
    return TzCustomBandObject::InnerQueryInterface(iid, out);
}

std::string TzContextMenuBandObject::MenuItemCaptionText(TMenuItem* item)
{
    return item->MenuText();
}

bool TzContextMenuBandObject::AppendBandMenuItem(TMenuItem* item, HMENU menu, UINT idCmdFirst, bool rightToLeft)
{
    return item->Visible() && item->InsertInto(menu, CheckedCommandID(item->Command(), idCmdFirst), rightToLeft);
}

HRESULT TzContextMenuBandObject::QueryContextMenu(HMENU menu, UINT, UINT idCmdFirst, UINT idCmdLast, UINT flags)
{
    if (flags & CMF_DEFAULTONLY) return MakeBandResult(SEVERITY_SUCCESS, 0, 0);
    TPopupMenu* bandMenu = BandMenuOf(BandForm());
    if (!bandMenu) return MakeBandResult(SEVERITY_SUCCESS, 0, 1);
    const bool rightToLeft = bandMenu->IsRightToLeft();
    ULONG largest = 0;
    TMenuItem* items = bandMenu->Items();
    for (int i = 0; i < items->Count(); ++i) {
        TMenuItem* item = items->Items(i);
        // The shell shares its menu with other handlers: the identifiers past idCmdLast are theirs.
        if (CheckedCommandID(item->Command(), idCmdFirst) > idCmdLast) continue;
        if (AppendBandMenuItem(item, menu, idCmdFirst, rightToLeft)) largest = std::max<ULONG>(largest, item->Command());
    }
    return MakeBandResult(SEVERITY_SUCCESS, 0, largest + 1);
}

HRESULT TzContextMenuBandObject::InvokeCommand(CMINVOKECOMMANDINFO* info)
{
    if (!info) return E_INVALIDARG;
    // The band's commands are offsets; a verb given as a string names nothing of the band.
    const auto verb = reinterpret_cast<ULONG_PTR>(info->lpVerb);
    if (verb >> 16 != 0) return E_INVALIDARG;
    TPopupMenu* bandMenu = BandMenuOf(BandForm());
    if (!bandMenu) return E_INVALIDARG;
    return bandMenu->DispatchCommand(static_cast<uint16_t>(verb)) ? S_OK : E_INVALIDARG;
}

HRESULT TzContextMenuBandObject::GetCommandString(UINT_PTR idCmd, UINT type, UINT*, LPSTR name, UINT cchMax)
{
    TPopupMenu* bandMenu = BandMenuOf(BandForm());
    if (!bandMenu) return E_INVALIDARG;
    if (type == GCS_VALIDATEA) return S_OK;
    if (type != GCS_VERBA && type != GCS_HELPTEXTA) return E_INVALIDARG;
    if (!name && cchMax != 0) return E_INVALIDARG;
    TMenuItem* item = idCmd <= 0xFFFF ? bandMenu->FindItem(static_cast<uint32_t>(idCmd), TFindItemKind::fkCommand)
                                      : nullptr;
    if (!item) return E_INVALIDARG;
    CopyCommandString(type == GCS_VERBA ? MenuItemCaptionText(item) : item->Hint(), name, cchMax);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TzContextMenuBandObject::ContextMenuEntry::QueryContextMenu(HMENU menu, UINT indexMenu,
                                                                                      UINT idCmdFirst, UINT idCmdLast,
                                                                                      UINT flags)
{
    return Guarded([&] { return self.QueryContextMenu(menu, indexMenu, idCmdFirst, idCmdLast, flags); });
}

HRESULT STDMETHODCALLTYPE TzContextMenuBandObject::ContextMenuEntry::InvokeCommand(CMINVOKECOMMANDINFO* info)
{
    return Guarded([&] { return self.InvokeCommand(info); });
}

HRESULT STDMETHODCALLTYPE TzContextMenuBandObject::ContextMenuEntry::GetCommandString(UINT_PTR idCmd, UINT type,
                                                                                      UINT* reserved, LPSTR name,
                                                                                      UINT cchMax)
{
    return Guarded([&] { return self.GetCommandString(idCmd, type, reserved, name, cchMax); });
}
