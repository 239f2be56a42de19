#pragma once
// The band form's OLE drop target: an object of its own, counted as COM counts it. The form holds
// one reference for its life and registers it with OLE from each show until the next hide; OLE
// holds it while it is registered and through each call of a drag.
#include <windows.h>
#include <ole2.h>

class TquormelForm;

class TquormelDropTarget final : public IDropTarget {
public:
    explicit TquormelDropTarget(TquormelForm* form);  // with the form's reference
    TquormelDropTarget(const TquormelDropTarget&) = delete;
    TquormelDropTarget& operator=(const TquormelDropTarget&) = delete;

    // The form goes: the target touches nothing of it again and accepts no more drops.
    void FormGone() { FForm = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

private:
    ~TquormelDropTarget() = default;

    LONG FReferences = 1;
    TquormelForm* FForm;  // null once the form has gone
    // The current drag, from DragEnter to Drop: the answer, and the format that Drop asks for.
    DWORD FDropEffect = DROPEFFECT_NONE;
    FORMATETC FDropFormat{};
};
