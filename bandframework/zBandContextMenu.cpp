// The band's context menu: the band form's BandContextMenu merged into the shell's menu of the
// band, and the shell's choice carried out through the menu's command dispatch.
#include "zBandForms.h"
#include "zBandObject.h"

HRESULT TzContextMenuBandObject::InnerQueryInterface(REFIID iid, void** out)
{
    if (IsEqualIID(iid, IID_IContextMenu)) return Answer<IContextMenu>(&contextMenu_, out);
    return TzCustomBandObject::InnerQueryInterface(iid, out);
}

HRESULT TzContextMenuBandObject::QueryContextMenu(HMENU, UINT, UINT, UINT, UINT flags)
{
    if (flags & CMF_DEFAULTONLY) return MakeBandResult(SEVERITY_SUCCESS, 0, 0);
    TzBandForm* form = BandForm();
    if (!form || !form->BandContextMenu()) return MakeBandResult(SEVERITY_SUCCESS, 0, 1);
    return MakeBandResult(SEVERITY_SUCCESS, 0, 1);
}

HRESULT TzContextMenuBandObject::InvokeCommand(CMINVOKECOMMANDINFO*)
{
    return E_INVALIDARG;
}

HRESULT TzContextMenuBandObject::GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT)
{
    return E_INVALIDARG;
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
