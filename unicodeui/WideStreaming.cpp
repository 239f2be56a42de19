// Wide lists and wide-string properties in form resources.
#include "WideStreaming.h"

#include <memory>
#include <vector>

#include "WideClasses.h"
#include "WideCodePages.h"

namespace {

// A value that carries bytes (UTF-8 text of the older writers). Single-byte kinds are the bytes
// themselves. The text form turns character codes above 127 into a wide value whose code units
// are those bytes, so a wide value made only of code units below 256 gives them back as bytes;
// any other wide value goes through the ANSI code page like every string read.
std::string ReadByteText(TReader& reader)
{
    const TValueKind kind = reader.NextValue();
    if (kind != TValueKind::WString && kind != TValueKind::Utf8String) return reader.ReadString();
    const std::wstring wide = reader.ReadWideString();
    std::string bytes;
    bytes.reserve(wide.size());
    for (wchar_t c : wide) {
        if (c > 0xFF) return AnsiFromWide(wide);
        bytes.push_back(static_cast<char>(c));
    }
    return bytes;
}

bool IsSingleByteKind(TValueKind kind)
{
    return kind == TValueKind::String || kind == TValueKind::LString;
}

// "Strings" and "WideStrings": a whole text in one value, or a list of items.
void ReadListValue(TReader& reader, TWideStrings& list)
{
    const TValueKind kind = reader.NextValue();
    if (IsSingleByteKind(kind)) {
        list.SplitText(WideFromAnsi(reader.ReadString()));
        return;
    }
    if (kind == TValueKind::WString) {
        list.SplitText(reader.ReadWideString());
        return;
    }
    TWideUpdateBatch batch(list);
    list.RemoveAll();
    reader.ReadListBegin();
    while (!reader.EndOfList()) {
        if (IsSingleByteKind(reader.NextValue())) {
            list.AppendItem(WideFromAnsi(reader.ReadString()));
        } else {
            list.AppendItem(reader.ReadWideString());
        }
    }
    reader.ReadListEnd();
}

void WriteListValue(TWriter& writer, const std::vector<std::wstring>& items)
{
    writer.WriteListBegin();
    for (const std::wstring& item : items) writer.WriteWideString(item);
    writer.WriteListEnd();
}

// A list of encoded items replacing the list's items when apply holds; otherwise read and dropped.
void ReadEncodedList(TReader& reader, TWideStrings& list, bool apply,
                     std::wstring (*decode)(TReader&))
{
    reader.ReadListBegin();
    if (apply) {
        TWideUpdateBatch batch(list);
        list.RemoveAll();
        while (!reader.EndOfList()) list.AppendItem(decode(reader));
    } else {
        while (!reader.EndOfList()) reader.SkipValue();
    }
    reader.ReadListEnd();
}

std::wstring DecodeUtf8Value(TReader& reader) { return DecodeUtf8(ReadByteText(reader)); }
std::wstring DecodeUtf7Value(TReader& reader) { return DecodeUtf7(reader.ReadString()); }

bool ListHasData(TFiler& filer, const TWideStrings& list)
{
    if (TPersistent* ancestor = filer.Ancestor()) {
        if (IsInstance<TWideStrings>(ancestor)) return !list.SameItems(*static_cast<TWideStrings*>(ancestor));
        return true;
    }
    return list.ItemCount() > 0;
}

bool ListNeedsUtf7(const std::vector<std::wstring>& items)
{
    for (const std::wstring& item : items) {
        if (TextNeedsUtf7(item)) return true;
    }
    return false;
}

// The write conditions read the items (over window messages for a combo box's list): only a
// writer evaluates them.
bool IsWriting(TFiler& filer) { return dynamic_cast<TWriter*>(&filer) != nullptr; }

const TPropInfo* FindWideStringProperty(TObject* object, const std::string& name)
{
    if (!object) return nullptr;
    const TPropInfo* p = object->GetClass().FindProperty(name);
    return p && p->Kind == TPropKind::WideString ? p : nullptr;
}

}  // namespace

bool ShadowValuesApply(TReader& reader)
{
    TComponent* owner = reader.Owner();
    return owner && owner->IsDesigning();
}

bool TextNeedsUtf7(const std::wstring& text)
{
    if (text.empty()) return false;
    return WideFromAnsi(EncodeUtf8(text)) != text;
}

void DefineWideListProperties(TFiler& filer, TWideStrings& list)
{
    TWideStrings* self = &list;
    // While writing, the items are read once and both values are written from that copy.
    auto items = std::make_shared<std::vector<std::wstring>>();
    bool hasData = false;
    bool needsUtf7 = false;
    if (IsWriting(filer) && ListHasData(filer, list)) {
        hasData = true;
        const int n = list.ItemCount();
        items->reserve(static_cast<size_t>(n > 0 ? n : 0));
        for (int i = 0; i < n; ++i) items->push_back(list.ItemAt(i));
        needsUtf7 = ListNeedsUtf7(*items);
    }
    auto readList = [self](TReader& r) { ReadListValue(r, *self); };
    filer.DefineProperty("Strings", readList, nullptr, false);
    filer.DefineProperty("WideStrings", readList, [items](TWriter& w) { WriteListValue(w, *items); }, hasData);
    filer.DefineProperty(
        "WideStringsW",
        [self](TReader& r) { ReadEncodedList(r, *self, ShadowValuesApply(r) || self->ItemCount() == 0, DecodeUtf8Value); },
        nullptr, false);
    filer.DefineProperty(
        "WideStrings_UTF7",
        [self](TReader& r) { ReadEncodedList(r, *self, ShadowValuesApply(r), DecodeUtf7Value); },
        [items](TWriter& w) {
            w.WriteListBegin();
            for (const std::wstring& item : *items) w.WriteString(EncodeUtf7(item));
            w.WriteListEnd();
        },
        needsUtf7);
}

void TWideStrings::DefineStreamedProperties(TFiler& filer)
{
    DefineWideListProperties(filer, *this);
}

// ---------------------------------------------------------------------------------------------

void TWideStringPropertyFiler::DefineShadowProperties(TFiler& filer, TComponent* component,
                                                      const std::string& propName)
{
    const TPropInfo* prop = FindWideStringProperty(component, propName);
    if (!prop) return;
    instance_ = component;
    propInfo_ = prop;
    try {
        filer.DefineProperty(prop->Name + "W", [this](TReader& r) { ReadUtf8Shadow(r); }, nullptr, false);
        filer.DefineProperty(prop->Name + "_UTF7", [this](TReader& r) { ReadUtf7Shadow(r); },
                             [this](TWriter& w) { WriteUtf7Shadow(w); }, IsWriting(filer) && Utf7ShadowHasData(filer));
    } catch (...) {
        instance_ = nullptr;
        propInfo_ = nullptr;
        throw;
    }
    instance_ = nullptr;
    propInfo_ = nullptr;
}

void TWideStringPropertyFiler::ReadUtf8Shadow(TReader& reader)
{
    if (!ShadowValuesApply(reader) || !propInfo_->IsWritable()) return reader.SkipValue();
    propInfo_->SetWide(instance_, DecodeUtf8(ReadByteText(reader)));
}

void TWideStringPropertyFiler::ReadUtf7Shadow(TReader& reader)
{
    if (!ShadowValuesApply(reader) || !propInfo_->IsWritable()) return reader.SkipValue();
    propInfo_->SetWide(instance_, DecodeUtf7(reader.ReadString()));
}

void TWideStringPropertyFiler::WriteUtf7Shadow(TWriter& writer)
{
    writer.WriteString(EncodeUtf7(propInfo_->GetWide(instance_)));
}

bool TWideStringPropertyFiler::Utf7ShadowHasData(TFiler& filer) const
{
    if (!propInfo_->IsStored(instance_)) return false;
    const std::wstring value = propInfo_->GetWide(instance_);
    TPersistent* ancestor = filer.Ancestor();
    if (const TPropInfo* ap = FindWideStringProperty(ancestor, propInfo_->Name)) {
        if (ap->GetWide(ancestor) == value) return false;
    }
    return TextNeedsUtf7(value);
}

void DefineWideStringProperties(TFiler& filer, TComponent* component)
{
    if (!component) return;
    const std::vector<const TPropInfo*>& props = component->GetClass().Properties();
    if (props.empty()) return;
    TWideStringPropertyFiler propertyFiler;
    for (const TPropInfo* p : props) {
        if (p->Kind == TPropKind::WideString) propertyFiler.DefineShadowProperties(filer, component, p->Name);
    }
}
