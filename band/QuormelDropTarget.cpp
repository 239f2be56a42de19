// The band form as an OLE drop target while it is shown: dropped text (plain, or the text of a
// link) puts its first line into the input box and starts nothing.
//
// The form answers only COPY, LINK or NONE to the drag source, never what the source offered:
// a source that is told MOVE deletes the user's text after the drop. The dropped block is read
// only within its allocated size, so a block without a terminating zero cannot be read past its
// end.
//
// A drag source lives in another process, so COM pumps the band's thread while the form asks it
// for its data, and what is handled meanwhile may free the form: the shell closing the band, a
// WM_CLOSE from anyone, the site's window destroyed. The form tells its target as it goes, and
// after each call out the target checks that the form is still there and otherwise touches
// nothing of it again.
#include "QuormelDropTarget.h"

#include <cstring>

#include "QueryText.h"
#include "QuormelForm.h"

namespace {

FORMATETC TextFormat(CLIPFORMAT format)
{
    return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

CLIPFORMAT UrlFormat()
{
    static const auto format = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("UniformResourceLocator"));
    return format;
}

// The ANSI text of a global block up to its first zero or its end, whichever comes first. False
// for a null, empty or unlockable block, which a drop ignores.
bool ReadAnsiBlock(HGLOBAL block, std::string& text)
{
    const SIZE_T size = block ? GlobalSize(block) : 0;
    if (size == 0) return false;
    const auto* p = static_cast<const char*>(GlobalLock(block));
    if (!p) return false;
    const void* zero = std::memchr(p, 0, size);
    text.assign(p, zero ? static_cast<const char*>(zero) - p : size);
    GlobalUnlock(block);
    return true;
}

// Holds the target through a call out of it: the form, and with it the form's reference, may
// go meanwhile.
class TKeptAlive {
public:
    explicit TKeptAlive(IUnknown* object) : object_(object) { object_->AddRef(); }
    ~TKeptAlive() { object_->Release(); }
    TKeptAlive(const TKeptAlive&) = delete;
    TKeptAlive& operator=(const TKeptAlive&) = delete;

private:
    IUnknown* object_;
};

}  // namespace

TquormelDropTarget::TquormelDropTarget(TquormelForm* form) : FForm(form) {}

HRESULT STDMETHODCALLTYPE TquormelDropTarget::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        AddRef();
        *out = static_cast<IDropTarget*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TquormelDropTarget::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&FReferences));
}

ULONG STDMETHODCALLTYPE TquormelDropTarget::Release()
{
    const LONG left = InterlockedDecrement(&FReferences);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE TquormelDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    const TKeptAlive kept(this);
    try {
        FORMATETC text = TextFormat(CF_TEXT);
        FORMATETC url = TextFormat(UrlFormat());
        // Plain text decides; a link offers its text as well. The form may go during either query.
        const bool hasText = FForm && data && data->QueryGetData(&text) == S_OK;
        const bool hasUrl = hasText && FForm && data->QueryGetData(&url) == S_OK;
        FDropEffect = !hasText || !FForm ? DROPEFFECT_NONE : hasUrl ? DROPEFFECT_LINK : DROPEFFECT_COPY;
        FDropFormat = hasText ? text : FORMATETC{};
    } catch (...) {
        FDropEffect = DROPEFFECT_NONE;
        Application->HandleException(FForm, std::current_exception());
    }
    if (effect) *effect = FDropEffect;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TquormelDropTarget::DragOver(DWORD, POINTL, DWORD* effect)
{
    if (effect) *effect = FDropEffect;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TquormelDropTarget::DragLeave()
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TquormelDropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    const TKeptAlive kept(this);
    if (effect) *effect = FDropEffect;
    if (!data || !FForm || FDropEffect == DROPEFFECT_NONE) return S_OK;
    FORMATETC format = FDropFormat;
    STGMEDIUM medium{};
    HRESULT fetched = E_FAIL;
    try {
        fetched = data->GetData(&format, &medium);
    } catch (...) {
        Application->HandleException(FForm, std::current_exception());
        return S_OK;
    }
    if (fetched != S_OK) return S_OK;
    try {
        std::string text;
        // The form may have gone while the source answered.
        if (FForm && medium.tymed == TYMED_HGLOBAL &&
            (format.cfFormat == CF_TEXT || format.cfFormat == UrlFormat()) && ReadAnsiBlock(medium.hGlobal, text)) {
            FForm->CompleteLoad();
            FForm->ComboBox1->SetText(FirstLine(WideFromAnsi(text)));
        }
    } catch (...) {
        // Shown like an error of a window's message; the drag source sees a plain drop.
        Application->HandleException(FForm, std::current_exception());
    }
    ReleaseStgMedium(&medium);
    return S_OK;
}
