// Wide lists and wide-string properties in form resources.
#include "WideStreaming.h"

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

void WriteListValue(TWriter& writer, const TWideStrings& list)
{
    writer.WriteListBegin();
    for (int i = 0; i < list.ItemCount(); ++i) writer.WriteWideString(list.ItemAt(i));
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

bool ListNeedsUtf7(const TWideStrings& list)
{
    for (int i = 0; i < list.ItemCount(); ++i) {
        if (TextNeedsUtf7(list.ItemAt(i))) return true;
    }
    return false;
}

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
    const bool hasData = ListHasData(filer, list);
    auto readList = [self](TReader& r) { ReadListValue(r, *self); };
    filer.DefineProperty("Strings", readList, nullptr, false);
    filer.DefineProperty("WideStrings", readList, [self](TWriter& w) { WriteListValue(w, *self); }, hasData);
    filer.DefineProperty(
        "WideStringsW",
        [self](TReader& r) { ReadEncodedList(r, *self, ShadowValuesApply(r) || self->ItemCount() == 0, DecodeUtf8Value); },
        nullptr, false);
    filer.DefineProperty(
        "WideStrings_UTF7",
        [self](TReader& r) { ReadEncodedList(r, *self, ShadowValuesApply(r), DecodeUtf7Value); },
        [self](TWriter& w) {
            w.WriteListBegin();
            for (int i = 0; i < self->ItemCount(); ++i) w.WriteString(EncodeUtf7(self->ItemAt(i)));
            w.WriteListEnd();
        },
        hasData && ListNeedsUtf7(list));
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
                             [this](TWriter& w) { WriteUtf7Shadow(w); }, Utf7ShadowHasData(filer));
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
