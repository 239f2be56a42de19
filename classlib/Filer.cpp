#include "Filer.h"

#include <algorithm>
#include <cstring>

namespace {

const char kSignature[4] = {'T', 'P', 'F', '0'};

// Nesting of components and of values; deeper data is refused rather than followed down the
// stack.
constexpr int kMaxDepth = 64;

constexpr uint8_t kPrefixMask = 0xF0;
constexpr uint8_t kFlagInherited = 1;
constexpr uint8_t kFlagChildPos = 2;
constexpr uint8_t kFlagInline = 4;

std::wstring Wide(const std::string& ansi) { return WideFromAnsi(ansi); }

std::string Utf8FromWide(const std::wstring& text) { return ConvertFromWide(text, CP_UTF8); }

std::wstring WideFromUtf8(const std::string& text) { return ConvertToWide(text, CP_UTF8); }

std::vector<std::string> SplitDotted(const std::string& name)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t dot = name.find('.', start);
        parts.push_back(name.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts;
}

bool IsIntegerKind(TValueKind k)
{
    return k == TValueKind::Int8 || k == TValueKind::Int16 || k == TValueKind::Int32 || k == TValueKind::Int64;
}

// Clears the counter on every way out.
struct DepthGuard {
    int& depth;
    ~DepthGuard() { --depth; }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// TReader: values

void TReader::Error(const std::wstring& message) const { throw EReadError(message); }

void TReader::ValueError() const
{
    if (propPath_.empty()) Error(L"値の種類が正しくありません");
    Error(FormatText(L"プロパティ %s の値が正しくありません", {Wide(propPath_)}));
}

void TReader::ReadBytes(void* buffer, int64_t count)
{
    if (count < 0 || count > INT32_MAX) Error(L"ストリームの読み込みエラー");
    stream_.ReadBuffer(buffer, static_cast<int32_t>(count));
}

uint8_t TReader::ReadByte()
{
    uint8_t b = 0;
    ReadBytes(&b, 1);
    return b;
}

// A four-byte count of units of the given size, checked against what the stream still holds,
// so that a corrupt count never asks for more memory than the resource has.
int32_t TReader::ReadLength(int64_t unitSize)
{
    int32_t n = 0;
    ReadBytes(&n, 4);
    if (n < 0) Error(L"フォームリソースの長さが正しくありません");
    const int64_t left = stream_.Size() - stream_.Position();
    if (static_cast<int64_t>(n) * unitSize > left) Error(L"ストリームの読み込みエラー");
    return n;
}

TValueKind TReader::ReadValue() { return static_cast<TValueKind>(ReadByte()); }

TValueKind TReader::NextValue()
{
    TValueKind k = ReadValue();
    stream_.Seek(-1, TSeekOrigin::Current);
    return k;
}

void TReader::CheckValue(TValueKind kind)
{
    if (ReadValue() != kind) {
        if (kind == TValueKind::Null) Error(L"リストの終わりがありません");
        ValueError();
    }
}

void TReader::ReadSignature()
{
    char sig[4];
    ReadBytes(sig, 4);
    if (std::memcmp(sig, kSignature, 4) != 0) Error(L"フォームリソースの形式が正しくありません");
}

std::string TReader::ReadStr()
{
    const uint8_t n = ReadByte();
    std::string s(n, '\0');
    ReadBytes(s.data(), n);
    return s;
}

int32_t TReader::ReadInteger()
{
    switch (ReadValue()) {
    case TValueKind::Int8: {
        int8_t v = 0;
        ReadBytes(&v, 1);
        return v;
    }
    case TValueKind::Int16: {
        int16_t v = 0;
        ReadBytes(&v, 2);
        return v;
    }
    case TValueKind::Int32: {
        int32_t v = 0;
        ReadBytes(&v, 4);
        return v;
    }
    default: ValueError();
    }
}

int64_t TReader::ReadInt64()
{
    if (NextValue() == TValueKind::Int64) {
        ReadValue();
        int64_t v = 0;
        ReadBytes(&v, 8);
        return v;
    }
    return ReadInteger();
}

bool TReader::ReadBoolean()
{
    switch (ReadValue()) {
    case TValueKind::False: return false;
    case TValueKind::True: return true;
    default: ValueError();
    }
}

std::string TReader::ReadIdent()
{
    switch (ReadValue()) {
    case TValueKind::Ident: return ReadStr();
    case TValueKind::False: return "False";
    case TValueKind::True: return "True";
    case TValueKind::Nil: return "nil";
    default: ValueError();
    }
}

std::string TReader::ReadLongBytes()
{
    const int32_t n = ReadLength(1);
    std::string s(static_cast<size_t>(n), '\0');
    ReadBytes(s.data(), n);
    return s;
}

std::string TReader::ReadString()
{
    switch (ReadValue()) {
    case TValueKind::String: return ReadStr();
    case TValueKind::LString: return ReadLongBytes();
    case TValueKind::WString: {
        stream_.Seek(-1, TSeekOrigin::Current);
        return AnsiFromWide(ReadWideString());
    }
    case TValueKind::Utf8String: return AnsiFromWide(WideFromUtf8(ReadLongBytes()));
    default: ValueError();
    }
}

std::wstring TReader::ReadWideString()
{
    switch (NextValue()) {
    case TValueKind::String:
    case TValueKind::LString: return WideFromAnsi(ReadString());
    case TValueKind::WString: {
        ReadValue();
        const int32_t n = ReadLength(2);
        std::wstring s(static_cast<size_t>(n), L'\0');
        ReadBytes(s.data(), static_cast<int64_t>(n) * 2);
        return s;
    }
    case TValueKind::Utf8String: ReadValue(); return WideFromUtf8(ReadLongBytes());
    default: ReadValue(); ValueError();
    }
}

std::string TReader::ReadBinary()
{
    CheckValue(TValueKind::Binary);
    return ReadLongBytes();
}

void TReader::EnterNesting()
{
    if (++depth_ > kMaxDepth) {
        --depth_;
        Error(L"フォームリソースの入れ子が深すぎます");
    }
}

void TReader::SkipValue()
{
    EnterNesting();
    DepthGuard guard{depth_};
    auto skip = [this](int64_t n) {
        if (n > stream_.Size() - stream_.Position()) Error(L"ストリームの読み込みエラー");
        stream_.Seek(n, TSeekOrigin::Current);
    };
    switch (ReadValue()) {
    case TValueKind::List:
        while (!EndOfList()) SkipValue();
        ReadListEnd();
        break;
    case TValueKind::Int8: skip(1); break;
    case TValueKind::Int16: skip(2); break;
    case TValueKind::Int32:
    case TValueKind::Single: skip(4); break;
    case TValueKind::Int64:
    case TValueKind::Currency:
    case TValueKind::Date: skip(8); break;
    case TValueKind::Extended: skip(10); break;
    case TValueKind::String:
    case TValueKind::Ident: skip(ReadByte()); break;
    case TValueKind::False:
    case TValueKind::True:
    case TValueKind::Nil: break;
    case TValueKind::Binary:
    case TValueKind::LString:
    case TValueKind::Utf8String: skip(ReadLength(1)); break;
    case TValueKind::WString: skip(static_cast<int64_t>(ReadLength(2)) * 2); break;
    case TValueKind::Set:
        while (!ReadStr().empty()) {
        }
        break;
    case TValueKind::Collection:
        while (!EndOfList()) {
            if (IsIntegerKind(NextValue())) SkipValue();
            ReadListBegin();
            while (!EndOfList()) SkipProperty();
            ReadListEnd();
        }
        ReadListEnd();
        break;
    default: ValueError();
    }
}

void TReader::SkipProperty()
{
    ReadStr();
    SkipValue();
}

// ---------------------------------------------------------------------------------------------
// TReader: components

void TReader::ReadRootComponent(TComponent* root)
{
    if (!root) Error(L"読み込み先のコンポーネントがありません");
    root_ = root;
    owner_ = root;
    parent_ = root;
    ancestor_ = nullptr;
    loaded_.clear();
    fixups_.clear();
    propPath_.clear();
    depth_ = 0;
    try {
        ReadSignature();
        Header h = ReadHeader();
        bool known = false;
        for (const TClassRecord* r = &root->GetClass(); r; r = r->Parent()) {
            if (SameIdent(r->Name(), h.ClassName)) known = true;
        }
        if (!known) {
            Error(FormatText(L"フォームリソースのクラス %s は %s に合いません",
                             {Wide(h.ClassName), Wide(root->ClassName())}));
        }
        if (root->Name().empty() && !h.Name.empty()) {
            if (!IsValidIdent(h.Name)) {
                Error(FormatText(L"%s は有効なコンポーネント名ではありません", {Wide(h.Name)}));
            }
            // A second form of the same name under one owner gets a numbered name.
            std::string name = h.Name;
            TComponent* rootOwner = root->Owner();
            for (int n = 1; rootOwner && rootOwner->FindComponent(name); ++n) {
                name = h.Name + "_" + std::to_string(n);
            }
            root->SetName(name);
        }
        root->SetState(TComponentFlag::Loading, true);
        root->SetState(TComponentFlag::Reading, true);
        loaded_.push_back(root);
        ReadData(root);
        root->SetState(TComponentFlag::Reading, false);
        ResolveFixups();
    } catch (...) {
        for (TComponent* c : loaded_) {
            c->SetState(TComponentFlag::Reading, false);
            c->SetState(TComponentFlag::Loading, false);
        }
        loaded_.clear();
        fixups_.clear();
        throw;
    }
    std::vector<TComponent*> loaded;
    loaded.swap(loaded_);
    for (size_t i = 0; i < loaded.size(); ++i) {
        try {
            loaded[i]->AfterLoad();
        } catch (...) {
            for (size_t j = i; j < loaded.size(); ++j) loaded[j]->SetState(TComponentFlag::Loading, false);
            throw;
        }
    }
}

TReader::Header TReader::ReadHeader()
{
    Header h;
    uint8_t b = ReadByte();
    if ((b & kPrefixMask) == kPrefixMask) {
        h.Flags = b & 0x0F;
        if (h.Flags & kFlagInline) Error(L"埋め込みコンポーネントは読み込めません");
        if (h.Flags & kFlagChildPos) ReadInteger();  // the position among siblings is not kept
        b = ReadByte();
    }
    h.ClassName.assign(b, '\0');
    ReadBytes(h.ClassName.data(), b);
    h.Name = ReadStr();
    return h;
}

const TClassRecord* TReader::FindComponentClass(const std::string& name) const
{
    if (const TClassRecord* r = FindRegisteredClass(name)) return r;
    // Classes of the root's published fields are known without registration.
    for (const TFieldInfo* f : root_->GetClass().Fields()) {
        for (const TClassRecord* r = &f->FieldClass(); r; r = r->Parent()) {
            if (SameIdent(r->Name(), name)) return r;
        }
    }
    return nullptr;
}

TComponent* TReader::ReadComponent()
{
    EnterNesting();
    DepthGuard guard{depth_};
    propPath_.clear();
    Header h = ReadHeader();
    TComponent* component = nullptr;
    if (h.Flags & kFlagInherited) {
        component = owner_->FindComponent(h.Name);
        if (!component) Error(FormatText(L"継承されたコンポーネント %s が見つかりません", {Wide(h.Name)}));
    } else {
        const TClassRecord* cls = FindComponentClass(h.ClassName);
        if (!cls) Error(FormatText(L"クラス %s が見つかりません", {Wide(h.ClassName)}));
        if (!cls->InheritsFrom(TComponent::StaticClass()) || !cls->CanCreate()) {
            Error(FormatText(L"クラス %s のコンポーネントは作成できません", {Wide(h.ClassName)}));
        }
        if (!h.Name.empty()) {
            if (!IsValidIdent(h.Name)) {
                Error(FormatText(L"%s は有効なコンポーネント名ではありません", {Wide(h.Name)}));
            }
            if (owner_->FindComponent(h.Name) || SameIdent(h.Name, owner_->Name())) {
                Error(FormatText(L"%s という名前のコンポーネントは既に存在します", {Wide(h.Name)}));
            }
            const TFieldInfo* field = owner_->GetClass().FindField(h.Name);
            if (field && !cls->InheritsFrom(field->FieldClass())) {
                Error(FormatText(L"%s のクラス %s はフィールドの型 %s に合いません",
                                 {Wide(h.Name), Wide(cls->Name()), Wide(field->FieldClass().Name())}));
            }
        }
        component = static_cast<TComponent*>(cls->CreateInstance(owner_));
        loaded_.push_back(component);
        component->SetName(h.Name);
    }
    if (std::find(loaded_.begin(), loaded_.end(), component) == loaded_.end()) loaded_.push_back(component);
    component->SetState(TComponentFlag::Loading, true);
    component->SetState(TComponentFlag::Reading, true);
    component->SetParentComponent(parent_);
    ReadData(component);
    component->SetState(TComponentFlag::Reading, false);
    return component;
}

void TReader::ReadData(TComponent* instance)
{
    while (!EndOfList()) ReadProperty(instance);
    propPath_.clear();
    ReadListEnd();

    TComponent* oldOwner = owner_;
    TComponent* oldParent = parent_;
    TComponent* childOwner = instance->GetChildOwner();
    owner_ = childOwner ? childOwner : root_;
    parent_ = instance->GetChildParent();
    try {
        while (!EndOfList()) ReadComponent();
        ReadListEnd();
    } catch (...) {
        owner_ = oldOwner;
        parent_ = oldParent;
        throw;
    }
    owner_ = oldOwner;
    parent_ = oldParent;
}

void TReader::ReadProperty(TObject* instance)
{
    const std::string name = ReadStr();
    propPath_ = name;
    auto unknown = [&]() { Error(FormatText(L"プロパティ %s は存在しません", {Wide(name)})); };
    const std::vector<std::string> parts = SplitDotted(name);
    TObject* object = instance;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        const TPropInfo* p = object->GetClass().FindProperty(parts[i]);
        if (!p || p->Kind != TPropKind::Object || p->IsComponentReference()) unknown();
        TObject* sub = p->GetObj(object);
        if (!sub) unknown();
        object = sub;
    }
    if (const TPropInfo* p = object->GetClass().FindProperty(parts.back())) {
        ReadPropValue(object, p);
        return;
    }
    if (!IsInstance<TPersistent>(object)) unknown();
    definedName_ = parts.back();
    definedHandled_ = false;
    try {
        static_cast<TPersistent*>(object)->DefineStreamedProperties(*this);
    } catch (...) {
        definedName_.clear();
        throw;
    }
    definedName_.clear();
    if (!definedHandled_) unknown();
}

void TReader::ReadPropValue(TObject* instance, const TPropInfo* prop)
{
    // Each value is read whole (and checked) before the property is found read-only.
    switch (prop->Kind) {
    case TPropKind::Integer:
    case TPropKind::Int64: StoreOrd(instance, prop, ReadIntegerProp(prop)); return;
    case TPropKind::Boolean: StoreOrd(instance, prop, ReadBoolean() ? 1 : 0); return;
    case TPropKind::Enumeration: StoreOrd(instance, prop, ReadEnumProp(prop)); return;
    case TPropKind::Set: StoreOrd(instance, prop, ReadSetProp(prop)); return;
    case TPropKind::String: {
        const std::string v = ReadString();
        CheckWritable(prop);
        prop->SetString(instance, v);
        return;
    }
    case TPropKind::WideString: {
        const std::wstring v = ReadWideString();
        CheckWritable(prop);
        prop->SetWide(instance, v);
        return;
    }
    case TPropKind::Method: ReadBinding(instance, prop); return;
    case TPropKind::Object:
        if (prop->IsComponentReference()) {
            ReadBinding(instance, prop);
            return;
        }
        // An object of its own: only a collection has a value to read.
        TObject* sub = prop->GetObj(instance);
        if (NextValue() != TValueKind::Collection || !IsInstance<TCollection>(sub)) {
            ReadValue();
            ValueError();
        }
        ReadCollection(static_cast<TCollection*>(sub));
        return;
    }
}

void TReader::CheckWritable(const TPropInfo* prop) const
{
    bool writable = false;
    switch (prop->Kind) {
    case TPropKind::Integer:
    case TPropKind::Int64:
    case TPropKind::Boolean:
    case TPropKind::Enumeration:
    case TPropKind::Set: writable = static_cast<bool>(prop->SetOrd); break;
    case TPropKind::String: writable = static_cast<bool>(prop->SetString); break;
    case TPropKind::WideString: writable = static_cast<bool>(prop->SetWide); break;
    case TPropKind::Method: writable = static_cast<bool>(prop->SetMethod); break;
    case TPropKind::Object: writable = static_cast<bool>(prop->SetObj); break;
    }
    if (!writable) Error(FormatText(L"プロパティ %s は読み取り専用です", {Wide(propPath_)}));
}

void TReader::StoreOrd(TObject* instance, const TPropInfo* prop, int64_t value)
{
    CheckWritable(prop);
    prop->SetOrd(instance, value);
}

int64_t TReader::ReadIntegerProp(const TPropInfo* prop)
{
    int64_t v = 0;
    const TValueKind k = NextValue();
    if (k == TValueKind::Ident && prop->Idents) {
        const std::string ident = ReadIdent();
        const auto& idents = *prop->Idents;
        const auto e = std::find_if(idents.begin(), idents.end(),
                                    [&](const TIdentMapEntry& entry) { return SameIdent(entry.Name, ident); });
        if (e == idents.end()) ValueError();
        v = e->Value;
    } else if (IsIntegerKind(k)) {
        v = ReadInt64();
    } else {
        ReadValue();
        ValueError();
    }
    if (v < prop->MinValue || v > prop->MaxValue) {
        Error(FormatText(L"プロパティ %s の値 %d が範囲外です", {Wide(propPath_), std::to_wstring(v)}));
    }
    return v;
}

int64_t TReader::ReadEnumProp(const TPropInfo* prop)
{
    if (NextValue() != TValueKind::Ident) {
        ReadValue();
        ValueError();
    }
    const std::string ident = ReadIdent();
    int64_t v = -1;
    for (size_t i = 0; i < prop->MemberNames.size(); ++i) {
        if (SameIdent(prop->MemberNames[i], ident)) v = static_cast<int64_t>(i);
    }
    if (v < 0) ValueError();
    return v;
}

int64_t TReader::ReadSetProp(const TPropInfo* prop)
{
    CheckValue(TValueKind::Set);
    int64_t bits = 0;
    for (std::string member = ReadStr(); !member.empty(); member = ReadStr()) {
        bool found = false;
        for (size_t i = 0; i < prop->MemberNames.size() && i < 32; ++i) {
            if (SameIdent(prop->MemberNames[i], member)) {
                bits |= int64_t{1} << i;
                found = true;
            }
        }
        if (!found) ValueError();
    }
    return bits;
}

void TReader::ReadBinding(TObject* instance, const TPropInfo* prop)
{
    const TValueKind k = ReadValue();
    if (k != TValueKind::Nil && k != TValueKind::Ident) ValueError();
    CheckWritable(prop);
    if (k == TValueKind::Ident) {
        fixups_.push_back({instance, prop, ReadStr(), propPath_});
    } else if (prop->Kind == TPropKind::Method) {
        prop->SetMethod(instance, TMethod{});
    } else {
        prop->SetObj(instance, nullptr);
    }
}

void TReader::ReadCollection(TCollection* collection)
{
    EnterNesting();
    DepthGuard guard{depth_};
    const std::string path = propPath_;
    CheckValue(TValueKind::Collection);
    collection->Clear();
    while (!EndOfList()) {
        if (IsIntegerKind(NextValue())) ReadInteger();  // the item's order: items are read in order
        ReadListBegin();
        TCollectionItem* item = collection->Add();
        while (!EndOfList()) ReadProperty(item);
        ReadListEnd();
        propPath_ = path;
    }
    ReadListEnd();
}

void TReader::DefineProperty(const std::string& name, TReaderProc reader, TWriterProc, bool)
{
    if (definedName_.empty() || definedHandled_ || !SameIdent(name, definedName_)) return;
    definedHandled_ = true;
    if (!reader) Error(FormatText(L"プロパティ %s は読み込めません", {Wide(propPath_)}));
    reader(*this);
}

void TReader::DefineBinaryProperty(const std::string& name, TStreamProc reader, TStreamProc, bool)
{
    if (definedName_.empty() || definedHandled_ || !SameIdent(name, definedName_)) return;
    definedHandled_ = true;
    if (!reader) Error(FormatText(L"プロパティ %s は読み込めません", {Wide(propPath_)}));
    TMemoryStream data(ReadBinary());
    reader(data);
}

TComponent* TReader::FindReference(const std::string& name) const
{
    const std::vector<std::string> parts = SplitDotted(name);
    TComponent* c = root_->FindComponent(parts[0]);
    if (!c && SameIdent(parts[0], root_->Name())) c = root_;
    for (size_t i = 1; c && i < parts.size(); ++i) c = c->FindComponent(parts[i]);
    return c;
}

void TReader::ResolveFixups()
{
    // Bound after the whole resource, so that references may name components read later.
    for (const Fixup& f : fixups_) {
        propPath_ = f.Path;
        if (f.Prop->Kind == TPropKind::Method) {
            const TMethodEntry* m = root_->GetClass().FindMethod(f.Name);
            if (!m) Error(FormatText(L"メソッド %s が見つかりません", {Wide(f.Name)}));
            if (m->Signature != f.Prop->Signature) {
                Error(FormatText(L"メソッド %s の型がイベント %s に合いません", {Wide(f.Name), Wide(f.Path)}));
            }
            f.Prop->SetMethod(f.Instance, TMethod{root_, m->Code, m->Signature});
        } else {
            TComponent* target = FindReference(f.Name);
            if (!target) Error(FormatText(L"コンポーネント %s が見つかりません", {Wide(f.Name)}));
            if (!target->InheritsFrom(*f.Prop->ObjectClass())) {
                Error(FormatText(L"コンポーネント %s はプロパティ %s の型 %s に合いません",
                                 {Wide(f.Name), Wide(f.Path), Wide(f.Prop->ObjectClass()->Name())}));
            }
            f.Prop->SetObj(f.Instance, target);
        }
    }
    fixups_.clear();
    propPath_.clear();
}

// ---------------------------------------------------------------------------------------------
// TWriter: values

void TWriter::WriteBytes(const void* data, int64_t size)
{
    if (size < 0 || size > INT32_MAX) throw EWriteError(std::wstring(L"ストリームの書き込みエラー"));
    stream_.WriteBuffer(data, static_cast<int32_t>(size));
}

void TWriter::WriteSignature() { WriteBytes(kSignature, 4); }

void TWriter::WriteValue(TValueKind kind)
{
    const uint8_t b = static_cast<uint8_t>(kind);
    WriteBytes(&b, 1);
}

void TWriter::WriteStr(const std::string& text)
{
    if (text.size() > 255) {
        throw EWriteError(FormatText(L"名前 %s が長すぎます", {Wide(text.substr(0, 64))}));
    }
    const uint8_t n = static_cast<uint8_t>(text.size());
    WriteBytes(&n, 1);
    WriteBytes(text.data(), n);
}

void TWriter::WriteInteger(int64_t value)
{
    if (value >= INT8_MIN && value <= INT8_MAX) {
        WriteValue(TValueKind::Int8);
        const int8_t v = static_cast<int8_t>(value);
        WriteBytes(&v, 1);
    } else if (value >= INT16_MIN && value <= INT16_MAX) {
        WriteValue(TValueKind::Int16);
        const int16_t v = static_cast<int16_t>(value);
        WriteBytes(&v, 2);
    } else if (value >= INT32_MIN && value <= INT32_MAX) {
        WriteValue(TValueKind::Int32);
        const int32_t v = static_cast<int32_t>(value);
        WriteBytes(&v, 4);
    } else {
        WriteValue(TValueKind::Int64);
        WriteBytes(&value, 8);
    }
}

void TWriter::WriteBoolean(bool value) { WriteValue(value ? TValueKind::True : TValueKind::False); }

void TWriter::WriteIdent(const std::string& ident)
{
    if (SameIdent(ident, "False")) {
        WriteValue(TValueKind::False);
    } else if (SameIdent(ident, "True")) {
        WriteValue(TValueKind::True);
    } else if (SameIdent(ident, "nil")) {
        WriteValue(TValueKind::Nil);
    } else {
        WriteValue(TValueKind::Ident);
        WriteStr(ident);
    }
}

void TWriter::WriteString(const std::string& text)
{
    if (text.size() <= 255) {
        WriteValue(TValueKind::String);
        const uint8_t n = static_cast<uint8_t>(text.size());
        WriteBytes(&n, 1);
    } else {
        WriteValue(TValueKind::LString);
        const int32_t n = static_cast<int32_t>(text.size());
        WriteBytes(&n, 4);
    }
    WriteBytes(text.data(), static_cast<int64_t>(text.size()));
}

void TWriter::WriteWideString(const std::wstring& text)
{
    // UTF-8 only when shorter and exact: the converter turns a lone surrogate into U+FFFD.
    const std::string utf8 = Utf8FromWide(text);
    if (utf8.size() < 2 * text.size() && WideFromUtf8(utf8) == text) {
        if (AnsiFromWide(text) == utf8) {
            WriteString(utf8);
            return;
        }
        WriteValue(TValueKind::Utf8String);
        const int32_t n = static_cast<int32_t>(utf8.size());
        WriteBytes(&n, 4);
        WriteBytes(utf8.data(), n);
        return;
    }
    WriteValue(TValueKind::WString);
    const int32_t n = static_cast<int32_t>(text.size());
    WriteBytes(&n, 4);
    WriteBytes(text.data(), static_cast<int64_t>(n) * 2);
}

void TWriter::WriteBinary(const void* data, int32_t size)
{
    WriteValue(TValueKind::Binary);
    WriteBytes(&size, 4);
    WriteBytes(data, size);
}

void TWriter::WritePrefix(uint8_t flags, int64_t childPosition)
{
    if ((flags & 0x0F) == 0) return;
    const uint8_t prefix = static_cast<uint8_t>(kPrefixMask | (flags & 0x0F));
    WriteBytes(&prefix, 1);
    if (flags & kFlagChildPos) WriteInteger(childPosition);
}

// ---------------------------------------------------------------------------------------------
// TWriter: components

void TWriter::WriteDescendent(TComponent* root, TComponent* ancestor)
{
    root_ = root;
    ancestorRoot_ = ancestor;
    depth_ = 0;
    WriteSignature();
    WriteComponent(root, ancestor);
}

void TWriter::WriteComponent(TComponent* component, TComponent* ancestor)
{
    if (++depth_ > kMaxDepth) {
        --depth_;
        throw EWriteError(std::wstring(L"コンポーネントの入れ子が深すぎます"));
    }
    DepthGuard guard{depth_};
    if (component != root_ && ancestor) WritePrefix(kFlagInherited, 0);
    WriteStr(component->ClassName());
    WriteStr(component->Name());
    WriteProperties(component, ancestor, std::string());
    WriteListEnd();
    component->GetChildren(
        [&](TComponent* child) {
            TComponent* childAncestor =
                ancestorRoot_ && !child->Name().empty() ? ancestorRoot_->FindComponent(child->Name()) : nullptr;
            WriteComponent(child, childAncestor);
        },
        root_);
    WriteListEnd();
}

void TWriter::WriteProperties(TObject* instance, TObject* ancestor, const std::string& prefix)
{
    for (const TPropInfo* p : instance->GetClass().Properties()) {
        if (!p->IsStored(instance)) continue;
        const TPropInfo* ap = ancestor ? ancestor->GetClass().FindProperty(p->Name) : nullptr;
        if (ap && ap->Kind != p->Kind) ap = nullptr;
        WriteProperty(instance, p, ap ? ancestor : nullptr, ap, prefix);
    }
    if (IsInstance<TPersistent>(instance)) {
        const std::string oldPrefix = propPrefix_;
        TPersistent* oldAncestor = ancestor_;
        propPrefix_ = prefix;
        ancestor_ = IsInstance<TPersistent>(ancestor) ? static_cast<TPersistent*>(ancestor) : nullptr;
        try {
            static_cast<TPersistent*>(instance)->DefineStreamedProperties(*this);
        } catch (...) {
            propPrefix_ = oldPrefix;
            ancestor_ = oldAncestor;
            throw;
        }
        propPrefix_ = oldPrefix;
        ancestor_ = oldAncestor;
    }
}

std::string TWriter::ReferenceName(TObject* target, TComponent* root)
{
    if (!IsInstance<TComponent>(target)) return std::string();
    auto* c = static_cast<TComponent*>(target);
    if (c->Name().empty()) return std::string();
    if (c == root || c->Owner() == root) return c->Name();
    if (c->Owner() && !c->Owner()->Name().empty()) return c->Owner()->Name() + "." + c->Name();
    return c->Name();
}

void TWriter::WriteProperty(TObject* instance, const TPropInfo* prop, TObject* ancestor,
                            const TPropInfo* ancestorProp, const std::string& prefix)
{
    // A value equal to the ancestor's (without one: to the default, or empty) is not written.
    const std::string name = prefix + prop->Name;
    switch (prop->Kind) {
    case TPropKind::Integer:
    case TPropKind::Int64:
    case TPropKind::Boolean:
    case TPropKind::Enumeration:
    case TPropKind::Set: {
        const int64_t v = prop->GetOrd(instance);
        if (ancestorProp ? v == ancestorProp->GetOrd(ancestor) : prop->HasDefault && v == prop->Default) return;
        WriteOrdValue(prop, v, name);
        return;
    }
    case TPropKind::String: {
        const std::string v = prop->GetString(instance);
        if (v == (ancestorProp ? ancestorProp->GetString(ancestor) : std::string())) return;
        WriteStr(name);
        WriteString(v);
        return;
    }
    case TPropKind::WideString: {
        const std::wstring v = prop->GetWide(instance);
        if (v == (ancestorProp ? ancestorProp->GetWide(ancestor) : std::wstring())) return;
        WriteStr(name);
        WriteWideString(v);
        return;
    }
    case TPropKind::Method: {
        const TMethod m = prop->GetMethod(instance);
        if (ancestorProp) {
            const TMethod am = ancestorProp->GetMethod(ancestor);
            if (am.Assigned() == m.Assigned() && am.Code == m.Code) return;
        } else if (!m.Assigned()) {
            return;
        }
        // Only a published method has a name to be bound by.
        WriteBinding(name, m.Assigned(), m.Assigned() ? m.Data->MethodName(m.Code) : std::string());
        return;
    }
    case TPropKind::Object: {
        TObject* v = prop->GetObj(instance);
        TObject* av = ancestorProp ? ancestorProp->GetObj(ancestor) : nullptr;
        if (prop->IsComponentReference()) {
            if (ancestorProp ? SameReference(v, av) : !v) return;
            WriteBinding(name, v != nullptr, v ? ReferenceName(v, root_) : std::string());
            return;
        }
        if (v) WriteSubObject(v, av, name);
        return;
    }
    }
}

void TWriter::WriteBinding(const std::string& name, bool assigned, const std::string& target)
{
    if (assigned && target.empty()) return;
    WriteStr(name);
    if (assigned)
        WriteIdent(target);
    else
        WriteValue(TValueKind::Nil);
}

bool TWriter::SameReference(TObject* value, TObject* ancestorValue) const
{
    if (!value) return !ancestorValue;
    // The root stands for the ancestor's root; any other component is compared by the name it is
    // written with.
    if (value == root_) return ancestorValue == ancestorRoot_;
    return ancestorValue && ancestorValue != ancestorRoot_ &&
           ReferenceName(value, root_) == ReferenceName(ancestorValue, ancestorRoot_);
}

void TWriter::WriteSubObject(TObject* value, TObject* ancestorValue, const std::string& name)
{
    if (IsInstance<TCollection>(value)) {
        auto* collection = static_cast<TCollection*>(value);
        if (IsInstance<TCollection>(ancestorValue)) {
            if (SameCollection(collection, static_cast<TCollection*>(ancestorValue))) return;
        } else if (collection->Count() == 0) {
            return;
        }
        WriteStr(name);
        WriteCollection(collection);
        return;
    }
    if (++depth_ > kMaxDepth) {
        --depth_;
        throw EWriteError(std::wstring(L"プロパティの入れ子が深すぎます"));
    }
    DepthGuard guard{depth_};
    WriteProperties(value, ancestorValue, name + ".");
}

void TWriter::WriteOrdValue(const TPropInfo* prop, int64_t value, const std::string& name)
{
    switch (prop->Kind) {
    case TPropKind::Integer:
        if (prop->Idents) {
            for (const TIdentMapEntry& e : *prop->Idents) {
                if (e.Value == value) {
                    WriteStr(name);
                    WriteIdent(e.Name);
                    return;
                }
            }
        }
        WriteStr(name);
        WriteInteger(value);
        return;
    case TPropKind::Int64:
        WriteStr(name);
        WriteInteger(value);
        return;
    case TPropKind::Boolean:
        WriteStr(name);
        WriteBoolean(value != 0);
        return;
    case TPropKind::Enumeration:
        if (value < 0 || value >= static_cast<int64_t>(prop->MemberNames.size())) {
            throw EWriteError(FormatText(L"プロパティ %s の値 %d は書き込めません", {Wide(name), std::to_wstring(value)}));
        }
        WriteStr(name);
        WriteIdent(prop->MemberNames[static_cast<size_t>(value)]);
        return;
    case TPropKind::Set:
        WriteStr(name);
        WriteValue(TValueKind::Set);
        for (size_t i = 0; i < prop->MemberNames.size() && i < 32; ++i) {
            if (value & (int64_t{1} << i)) WriteStr(prop->MemberNames[i]);
        }
        WriteStr(std::string());
        return;
    default: return;
    }
}

void TWriter::WriteCollection(TCollection* collection)
{
    WriteValue(TValueKind::Collection);
    for (int i = 0; i < collection->Count(); ++i) {
        WriteListBegin();
        WriteProperties(collection->Items(i), nullptr, std::string());
        WriteListEnd();
    }
    WriteListEnd();
}

bool TWriter::SameCollection(TCollection* a, TCollection* b)
{
    auto streamed = [this](TCollection* c) {
        TMemoryStream s;
        TWriter w(s);
        w.root_ = root_;
        w.ancestorRoot_ = ancestorRoot_;
        w.WriteCollection(c);
        return s.Bytes();
    };
    return streamed(a) == streamed(b);
}

void TWriter::DefineProperty(const std::string& name, TReaderProc, TWriterProc writer, bool hasData)
{
    if (!hasData || !writer) return;
    WriteStr(propPrefix_ + name);
    writer(*this);
}

void TWriter::DefineBinaryProperty(const std::string& name, TStreamProc, TStreamProc writer, bool hasData)
{
    if (!hasData || !writer) return;
    WriteStr(propPrefix_ + name);
    TMemoryStream data;
    writer(data);
    const std::string bytes = data.Bytes();
    WriteBinary(bytes.data(), static_cast<int32_t>(bytes.size()));
}

// ---------------------------------------------------------------------------------------------

void ReadBinaryComponent(TStream& stream, TComponent* root)
{
    TReader reader(stream);
    reader.ReadRootComponent(root);
}

void WriteComponentToStream(TStream& stream, TComponent* root, TComponent* ancestor)
{
    TWriter writer(stream);
    writer.WriteDescendent(root, ancestor);
}
