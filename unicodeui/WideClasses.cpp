#include "WideClasses.h"

#include <algorithm>
#include <utility>

#include "Streams.h"
#include "WideCodePages.h"
#include "WideResStrings.h"

namespace {

// A record whose text is the UTF-8 form of the message, marked as such by its byte-order mark.
class TextRecord {
public:
    explicit TextRecord(const std::wstring& text) : text_("\xEF\xBB\xBF" + EncodeUtf8(text))
    {
        record_.Module = &module_;
        record_.Identifier = reinterpret_cast<uintptr_t>(text_.c_str());
    }
    const TResourceStringRecord* Get() const { return &record_; }

private:
    HMODULE module_ = nullptr;
    std::string text_;
    TResourceStringRecord record_{};
};

[[noreturn]] void RaiseAbstract() { throw EAbstractError(std::wstring(L"Abstract エラー")); }

constexpr wchar_t LineSeparator = 0x2028;

int CompareWide(DWORD flags, const std::wstring& a, const std::wstring& b)
{
    const int r = CompareStringW(LOCALE_USER_DEFAULT, flags, a.data(), static_cast<int>(a.size()), b.data(),
                                 static_cast<int>(b.size()));
    if (r != 0) return r - CSTR_EQUAL;
    const DWORD error = GetLastError();
    if (error != ERROR_CALL_NOT_IMPLEMENTED) RaiseLastOSError(error);
    // Systems without the wide comparison: compare the ANSI forms.
    const std::string a8 = AnsiFromWide(a), b8 = AnsiFromWide(b);
    const int r8 = CompareStringA(LOCALE_USER_DEFAULT, flags, a8.data(), static_cast<int>(a8.size()), b8.data(),
                                  static_cast<int>(b8.size()));
    if (r8 == 0) RaiseLastOSError();
    return r8 - CSTR_EQUAL;
}

}  // namespace

const TResourceStringRecord* SListIndexError()
{
    static const TextRecord record(kListIndexErrorText);
    return record.Get();
}

const TResourceStringRecord* SSortedListError()
{
    static const TextRecord record(kSortedListErrorText);
    return record.Get();
}

const TResourceStringRecord* SDuplicateString()
{
    static const TextRecord record(kDuplicateStringErrorText);
    return record.Get();
}

// ---------------------------------------------------------------------------------------------
// TWideStrings

KERVO_CLASS_RECORD(TWideStrings)
{
    b.Object("AnsiStrings", &TWideStrings::AnsiStrings).Stored(false);
}

TWideStrings::TWideStrings() : ansiStrings_(new TAnsiStringsForWideStrings(this)) {}

TWideStrings::~TWideStrings() = default;

TAnsiStrings* TWideStrings::AnsiStrings() const { return ansiStrings_.get(); }

void TWideStrings::SetAnsiStrings(TStrings* value) { ansiStrings_->CopyFrom(static_cast<TPersistent*>(value)); }

void TWideStrings::CopyFrom(TPersistent* source)
{
    if (IsInstance<TWideStrings>(source)) {
        auto* other = static_cast<TWideStrings*>(source);
        // Clearing first would lose the very items to be copied.
        if (other == this) return;
        TWideUpdateBatch batch(*this);
        RemoveAll();
        defined_ = other->defined_;
        nameValueSeparator_ = other->nameValueSeparator_;
        quoteChar_ = other->quoteChar_;
        delimiter_ = other->delimiter_;
        AppendList(*other);
        return;
    }
    if (IsInstance<TStrings>(source)) {
        ansiStrings_->CopyFrom(*static_cast<const TStrings*>(source));
        return;
    }
    TPersistent::CopyFrom(source);
}

void TWideStrings::CopyTo(TPersistent* destination)
{
    if (IsInstance<TStrings>(destination)) {
        static_cast<TStrings*>(destination)->CopyFrom(*static_cast<const TStrings*>(ansiStrings_.get()));
        return;
    }
    RaiseAssignError(this, destination);
}

std::wstring TWideStrings::ItemAt(int) const { RaiseAbstract(); }
int TWideStrings::ReadCapacity() const { return ItemCount(); }
int TWideStrings::ItemCount() const { RaiseAbstract(); }
void* TWideStrings::ObjectAt(int) const { return nullptr; }

std::wstring TWideStrings::JoinedText() const
{
    // Each item is read once: a list over a window pays window messages per read.
    const int n = ItemCount();
    std::vector<std::wstring> items;
    items.reserve(static_cast<size_t>(std::max(n, 0)));
    size_t size = 0;
    for (int i = 0; i < n; ++i) {
        items.push_back(ItemAt(i));
        size += items.back().size() + 2;
    }
    std::wstring out;
    out.reserve(size);
    for (const std::wstring& item : items) {
        out += item;
        out += L"\r\n";
    }
    return out;
}

void TWideStrings::ReplaceItem(int index, const std::wstring& s)
{
    void* object = ObjectAt(index);
    RemoveAt(index);
    InsertItemObject(index, s, object);
}

void TWideStrings::ReplaceObject(int, void*) {}
void TWideStrings::Reserve(int) {}

void TWideStrings::SplitText(const std::wstring& text)
{
    TWideUpdateBatch batch(*this);
    RemoveAll();
    const std::wstring body = text.substr(0, text.find(L'\0'));
    size_t pos = 0;
    while (pos < body.size()) {
        size_t end = pos;
        while (end < body.size() && body[end] != L'\r' && body[end] != L'\n' && body[end] != LineSeparator) ++end;
        AppendItem(body.substr(pos, end - pos));
        pos = end;
        if (pos < body.size() && body[pos] == L'\r') ++pos;
        if (pos < body.size() && body[pos] == L'\n') ++pos;
        if (pos < body.size() && body[pos] == LineSeparator) ++pos;
    }
}

void TWideStrings::UpdatingChanged(bool) {}

int TWideStrings::CompareItems(const std::wstring& a, const std::wstring& b) const
{
    return CompareWide(NORM_IGNORECASE, a, b);
}

int TWideStrings::AppendItem(const std::wstring& s)
{
    const int index = ItemCount();
    InsertAt(index, s);
    return index;
}

int TWideStrings::AppendItemObject(const std::wstring& s, void* object)
{
    const int index = AppendItem(s);
    ReplaceObject(index, object);
    return index;
}

void TWideStrings::AppendList(const TWideStrings& other)
{
    TWideUpdateBatch batch(*this);
    const int n = other.ItemCount();
    for (int i = 0; i < n; ++i) AppendItemObject(other.ItemAt(i), other.ObjectAt(i));
}

void TWideStrings::RemoveAll() { RaiseAbstract(); }
void TWideStrings::RemoveAt(int) { RaiseAbstract(); }

void TWideStrings::SwapItems(int index1, int index2)
{
    TWideUpdateBatch batch(*this);
    const std::wstring s1 = ItemAt(index1);
    void* o1 = ObjectAt(index1);
    const std::wstring s2 = ItemAt(index2);
    ReplaceItem(index1, s2);
    ReplaceObject(index1, ObjectAt(index2));
    ReplaceItem(index2, s1);
    ReplaceObject(index2, o1);
}

wchar_t* TWideStrings::TextBuffer() const { return WideCharsDuplicate(JoinedText().c_str()); }

int TWideStrings::PositionOf(const std::wstring& s) const
{
    const int n = ItemCount();
    for (int i = 0; i < n; ++i)
        if (CompareItems(ItemAt(i), s) == 0) return i;
    return -1;
}

int TWideStrings::PositionOfName(const std::wstring& name) const
{
    const wchar_t separator = NameValueSeparator();
    const int n = ItemCount();
    for (int i = 0; i < n; ++i) {
        const std::wstring item = ItemAt(i);
        const size_t p = item.find(separator);
        if (p != std::wstring::npos && CompareItems(item.substr(0, p), name) == 0) return i;
    }
    return -1;
}

int TWideStrings::PositionOfObject(const void* object) const
{
    const int n = ItemCount();
    for (int i = 0; i < n; ++i)
        if (ObjectAt(i) == object) return i;
    return -1;
}

void TWideStrings::InsertAt(int, const std::wstring&) { RaiseAbstract(); }

void TWideStrings::InsertItemObject(int index, const std::wstring& s, void* object)
{
    InsertAt(index, s);
    ReplaceObject(index, object);
}

void TWideStrings::MoveItem(int currentIndex, int newIndex)
{
    if (currentIndex == newIndex) return;
    const int count = ItemCount();
    for (int index : {currentIndex, newIndex})
        if (index < 0 || index >= count) RaiseListError(SListIndexError(), index);
    TWideUpdateBatch batch(*this);
    const std::wstring s = ItemAt(currentIndex);
    void* object = ObjectAt(currentIndex);
    // The copy goes in first: when the insertion is refused, the item is still in its place.
    if (newIndex > currentIndex) {
        InsertItemObject(newIndex + 1, s, object);
        RemoveAt(currentIndex);
    } else {
        InsertItemObject(newIndex, s, object);
        RemoveAt(currentIndex + 1);
    }
}

void TWideStrings::AssignTextBuffer(const wchar_t* text) { SplitText(text ? std::wstring(text) : std::wstring()); }

void TWideStrings::BeginUpdate()
{
    if (updateCount_ == 0) UpdatingChanged(true);
    ++updateCount_;
}

void TWideStrings::EndUpdate()
{
    --updateCount_;
    if (updateCount_ == 0) UpdatingChanged(false);
}

wchar_t TWideStrings::NameValueSeparator() const
{
    if (!(defined_ & SeparatorDefined)) {
        nameValueSeparator_ = L'=';
        defined_ |= SeparatorDefined;
    }
    return nameValueSeparator_;
}

void TWideStrings::SetNameValueSeparator(wchar_t separator)
{
    if ((defined_ & SeparatorDefined) && separator == nameValueSeparator_) return;
    nameValueSeparator_ = separator;
    defined_ |= SeparatorDefined;
}

bool TWideStrings::SameItems(const TWideStrings& other) const
{
    const int n = ItemCount();
    if (n != other.ItemCount()) return false;
    for (int i = 0; i < n; ++i)
        if (ItemAt(i) != other.ItemAt(i)) return false;
    return true;
}

void TWideStrings::RaiseListError(const TResourceStringRecord* message, int data)
{
    throw EStringListError(FormatText(LoadWideResString(message), {std::to_wstring(data)}));
}

// ---------------------------------------------------------------------------------------------
// TWideStringList

KERVO_CLASS_RECORD(TWideStringList) {}

TWideStringList::~TWideStringList()
{
    OnChange.Clear();
    OnChanging.Clear();
    items_.clear();
    count_ = 0;
    capacity_ = 0;
}

void TWideStringList::CheckIndex(int index) const
{
    if (index < 0 || index >= count_) RaiseListError(SListIndexError(), index);
}

std::wstring TWideStringList::ItemAt(int index) const
{
    CheckIndex(index);
    return items_[static_cast<size_t>(index)].String;
}

int TWideStringList::ReadCapacity() const { return capacity_; }
int TWideStringList::ItemCount() const { return count_; }

void* TWideStringList::ObjectAt(int index) const
{
    CheckIndex(index);
    return items_[static_cast<size_t>(index)].Object;
}

void TWideStringList::ReplaceItem(int index, const std::wstring& s)
{
    if (sorted_) RaiseListError(SSortedListError(), 0);
    CheckIndex(index);
    NotifyChanging();
    items_[static_cast<size_t>(index)].String = s;
    NotifyChanged();
}

void TWideStringList::ReplaceObject(int index, void* object)
{
    CheckIndex(index);
    NotifyChanging();
    items_[static_cast<size_t>(index)].Object = object;
    NotifyChanged();
}

void TWideStringList::Reserve(int capacity)
{
    if (capacity < count_) RaiseListError(SListIndexError(), capacity);
    items_.resize(static_cast<size_t>(capacity));
    if (capacity == 0) items_.shrink_to_fit();
    capacity_ = capacity;
}

void TWideStringList::UpdatingChanged(bool updating)
{
    if (updating)
        NotifyChanging();
    else
        NotifyChanged();
}

int TWideStringList::CompareItems(const std::wstring& a, const std::wstring& b) const
{
    if (caseSensitive_) return CompareWide(0, a, b);
    return TWideStrings::CompareItems(a, b);
}

int TWideStringList::AppendItem(const std::wstring& s) { return AppendItemObject(s, nullptr); }

int TWideStringList::AppendItemObject(const std::wstring& s, void* object)
{
    int index = count_;
    if (sorted_) {
        if (FindSorted(s, index)) {
            if (duplicates_ == TDuplicates::Ignore) return index;
            if (duplicates_ == TDuplicates::Error) RaiseListError(SDuplicateString(), 0);
        }
    }
    InsertRecord(index, s, object);
    return index;
}

void TWideStringList::RemoveAll()
{
    if (count_ == 0) return;
    NotifyChanging();
    for (int i = 0; i < count_; ++i) items_[static_cast<size_t>(i)] = TWideStringItem{};
    count_ = 0;
    Reserve(0);
    NotifyChanged();
}

void TWideStringList::RemoveAt(int index)
{
    CheckIndex(index);
    NotifyChanging();
    auto first = items_.begin() + index;
    std::move(first + 1, items_.begin() + count_, first);
    --count_;
    items_[static_cast<size_t>(count_)] = TWideStringItem{};
    NotifyChanged();
}

void TWideStringList::SwapItems(int index1, int index2)
{
    CheckIndex(index1);
    CheckIndex(index2);
    NotifyChanging();
    std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
    NotifyChanged();
}

int TWideStringList::PositionOf(const std::wstring& s) const
{
    if (!sorted_) return TWideStrings::PositionOf(s);
    int index = 0;
    return FindSorted(s, index) ? index : -1;
}

int TWideStringList::PositionOfName(const std::wstring& name) const
{
    if (!sorted_) return TWideStrings::PositionOfName(name);
    const std::wstring key = name + NameValueSeparator();
    int index = 0;
    FindSorted(key, index);
    if (index < 0 || index >= count_) return -1;
    const std::wstring& item = items_[static_cast<size_t>(index)].String;
    return CompareItems(key, item.substr(0, key.size())) == 0 ? index : -1;
}

void TWideStringList::InsertAt(int index, const std::wstring& s) { InsertItemObject(index, s, nullptr); }

void TWideStringList::InsertItemObject(int index, const std::wstring& s, void* object)
{
    if (sorted_) RaiseListError(SSortedListError(), 0);
    if (index < 0 || index > count_) RaiseListError(SListIndexError(), index);
    InsertRecord(index, s, object);
}

void TWideStringList::MoveItem(int currentIndex, int newIndex)
{
    if (currentIndex == newIndex) return;
    if (sorted_) RaiseListError(SSortedListError(), 0);
    CheckIndex(currentIndex);
    CheckIndex(newIndex);
    TWideStrings::MoveItem(currentIndex, newIndex);
}

void TWideStringList::NotifyChanged()
{
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TWideStringList::NotifyChanging()
{
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TWideStringList::InsertRecord(int index, const std::wstring& s, void* object)
{
    NotifyChanging();
    if (count_ == capacity_) {
        const int step = capacity_ > 64 ? capacity_ / 4 : capacity_ > 8 ? 16 : 4;
        Reserve(capacity_ + step);
    }
    auto at = items_.begin() + index;
    std::move_backward(at, items_.begin() + count_, items_.begin() + count_ + 1);
    *at = TWideStringItem{s, object};
    ++count_;
    NotifyChanged();
}

bool TWideStringList::FindSorted(const std::wstring& s, int& index) const
{
    const auto compareAt = [&](int i) { return CompareItems(items_[static_cast<size_t>(i)].String, s); };
    return BisectSorted(count_, compareAt, duplicates_ == TDuplicates::Accept, index);
}

void TWideStringList::SortItems()
{
    SortWith([](TWideStringList* list, int i, int j) {
        return list->CompareItems(list->items_[static_cast<size_t>(i)].String,
                                  list->items_[static_cast<size_t>(j)].String);
    });
}

void TWideStringList::SortWith(TWideStringListSortCompare compare)
{
    if (sorted_ || count_ < 2) return;
    NotifyChanging();
    QuickSort(0, count_ - 1, compare);
    NotifyChanged();
}

void TWideStringList::QuickSort(int left, int right, TWideStringListSortCompare compare)
{
    int i = 0;
    do {
        i = left;
        int j = right;
        int p = static_cast<int>((static_cast<unsigned>(left) + static_cast<unsigned>(right)) >> 1);
        do {
            while (compare(this, i, p) < 0) ++i;
            while (compare(this, j, p) > 0) --j;
            if (i <= j) {
                std::swap(items_[static_cast<size_t>(i)], items_[static_cast<size_t>(j)]);
                if (p == i)
                    p = j;
                else if (p == j)
                    p = i;
                ++i;
                --j;
            }
        } while (i <= j);
        if (left < j) QuickSort(left, j, compare);
        left = i;
    } while (i < right);
}

void TWideStringList::SetSorted(bool sorted)
{
    if (sorted == sorted_) return;
    if (sorted) SortItems();
    sorted_ = sorted;
}

// ---------------------------------------------------------------------------------------------
// The ANSI view

KERVO_CLASS_RECORD(TAnsiStrings) {}

void TAnsiStrings::LoadCodePageStream(TStream&, UINT) { RaiseAbstract(); }
void TAnsiStrings::SaveCodePageStream(TStream&, UINT) { RaiseAbstract(); }

KERVO_CLASS_RECORD(TAnsiStringsForWideStrings) {}

std::string TAnsiStringsForWideStrings::ItemAt(int index) const { return AnsiFromWide(wideStrings_->ItemAt(index)); }
int TAnsiStringsForWideStrings::ItemCount() const { return wideStrings_->ItemCount(); }
void* TAnsiStringsForWideStrings::ObjectAt(int index) const { return wideStrings_->ObjectAt(index); }

void TAnsiStringsForWideStrings::ReplaceItem(int index, const std::string& s)
{
    wideStrings_->ReplaceItem(index, WideFromAnsi(s));
}

void TAnsiStringsForWideStrings::ReplaceObject(int index, void* object) { wideStrings_->ReplaceObject(index, object); }
void TAnsiStringsForWideStrings::UpdatingChanged(bool updating) { wideStrings_->UpdatingChanged(updating); }
void TAnsiStringsForWideStrings::RemoveAll() { wideStrings_->RemoveAll(); }
void TAnsiStringsForWideStrings::RemoveAt(int index) { wideStrings_->RemoveAt(index); }

void TAnsiStringsForWideStrings::InsertAt(int index, const std::string& s)
{
    wideStrings_->InsertAt(index, WideFromAnsi(s));
}

int TAnsiStringsForWideStrings::AppendItem(const std::string& s) { return wideStrings_->AppendItem(WideFromAnsi(s)); }

int TAnsiStringsForWideStrings::AppendItemObject(const std::string& s, void* object)
{
    return wideStrings_->AppendItemObject(WideFromAnsi(s), object);
}

void TAnsiStringsForWideStrings::LoadCodePageStream(TStream& stream, UINT codePage)
{
    TUpdateBatch<TStrings> batch(*this);
    const int64_t remaining = stream.Size() - stream.Position();
    std::string bytes(static_cast<size_t>(remaining > 0 ? remaining : 0), '\0');
    if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    wideStrings_->SplitText(WideFromCodePage(bytes, codePage));
}

void TAnsiStringsForWideStrings::SaveCodePageStream(TStream& stream, UINT codePage)
{
    const std::string bytes = WideToCodePage(wideStrings_->JoinedText(), codePage);
    if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}
