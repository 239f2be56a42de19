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
// WM_CLOSE from anyone, the site's window destroyed. After each call out the form checks that it
// is still there and otherwise touches nothing of its own again.
#include <cstring>

#include "ComObj.h"
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

// Tells whether a form was freed since the watch began: the form's free notification.
class TFormWatch : public TComponent {
public:
    explicit TFormWatch(TComponent* form) : TComponent(nullptr), form_(form) { form->FreeNotification(this); }
    ~TFormWatch() override
    {
        if (form_) form_->RemoveFreeNotification(this);
    }
    bool Gone() const { return form_ == nullptr; }

    void ComponentNotification(TComponent* component, TOperation operation) override
    {
        TComponent::ComponentNotification(component, operation);
        if (operation == TOperation::Removal && component == form_) form_ = nullptr;
    }

private:
    TComponent* form_;
};

}  // namespace

void TquormelForm::zBandFormShow(TObject*)
{
    // Only the form registers its window, so a window already registered is the form's own
    // registration of an earlier show still standing: nothing to report.
    const HRESULT registered = RegisterDragDrop(Handle(), static_cast<IDropTarget*>(this));
    if (registered != DRAGDROP_E_ALREADYREGISTERED) OleCheck(registered);
}

void TquormelForm::zBandFormHide(TObject*)
{
    OleCheck(RevokeDragDrop(Handle()));
    SetHotKey(false, 0);
}

// The form's life is its band object's: references count nothing.
HRESULT STDMETHODCALLTYPE TquormelForm::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        *out = static_cast<IDropTarget*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TquormelForm::AddRef()
{
    return 1;
}

ULONG STDMETHODCALLTYPE TquormelForm::Release()
{
    return 1;
}

HRESULT STDMETHODCALLTYPE TquormelForm::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    try {
        FORMATETC text = TextFormat(CF_TEXT);
        FORMATETC url = TextFormat(UrlFormat());
        TFormWatch watch(this);
        // Plain text decides; a link offers its text as well.
        const bool hasText = data && data->QueryGetData(&text) == S_OK;
        const bool hasUrl = hasText && !watch.Gone() && data->QueryGetData(&url) == S_OK;
        if (watch.Gone()) {
            if (effect) *effect = DROPEFFECT_NONE;
            return S_OK;
        }
        FDropEffect = !hasText ? DROPEFFECT_NONE : hasUrl ? DROPEFFECT_LINK : DROPEFFECT_COPY;
        FDropFormat = hasText ? text : FORMATETC{};
    } catch (...) {
        FDropEffect = DROPEFFECT_NONE;
        Application->HandleException(this, std::current_exception());
    }
    if (effect) *effect = FDropEffect;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TquormelForm::DragOver(DWORD, POINTL, DWORD* effect)
{
    if (effect) *effect = FDropEffect;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TquormelForm::DragLeave()
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TquormelForm::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    if (effect) *effect = FDropEffect;
    if (!data || FDropEffect == DROPEFFECT_NONE) return S_OK;
    // The format as a copy: GetData may take the form with it.
    FORMATETC format = FDropFormat;
    STGMEDIUM medium{};
    bool gone = false;
    HRESULT fetched = E_FAIL;
    try {
        TFormWatch watch(this);
        fetched = data->GetData(&format, &medium);
        gone = watch.Gone();
    } catch (...) {
        Application->HandleException(this, std::current_exception());
        return S_OK;
    }
    if (fetched != S_OK) return S_OK;
    try {
        std::string text;
        if (!gone && medium.tymed == TYMED_HGLOBAL && (format.cfFormat == CF_TEXT || format.cfFormat == UrlFormat()) &&
            ReadAnsiBlock(medium.hGlobal, text))
            ComboBox1->SetText(FirstLine(WideFromAnsi(text)));
    } catch (...) {
        // Shown like an error of a window's message; the drag source sees a plain drop.
        Application->HandleException(this, std::current_exception());
    }
    ReleaseStgMedium(&medium);
    return S_OK;
}
