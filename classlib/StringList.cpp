#include "StringList.h"

#include <windows.h>

#include "SysUtils.h"

KERVO_CLASS_RECORD(TStrings) {}
KERVO_CLASS_RECORD(TStringList) {}

void* TStrings::ObjectAt(int) const { return nullptr; }

void TStrings::ReplaceObject(int, void*) {}

void TStrings::ReplaceItem(int index, const std::string& s)
{
    void* object = ObjectAt(index);
    RemoveAt(index);
    InsertItemObject(index, s, object);
}

int TStrings::AppendItem(const std::string& s)
{
    int index = ItemCount();
    InsertAt(index, s);
    return index;
}

int TStrings::AppendItemObject(const std::string& s, void* object)
{
    int index = AppendItem(s);
    ReplaceObject(index, object);
    return index;
}

void TStrings::InsertItemObject(int index, const std::string& s, void* object)
{
    InsertAt(index, s);
    ReplaceObject(index, object);
}

void TStrings::AppendList(const TStrings& other)
{
    TUpdateBatch batch(*this);
    const int n = other.ItemCount();
    for (int i = 0; i < n; ++i) AppendItemObject(other.ItemAt(i), other.ObjectAt(i));
}

std::string TStrings::JoinedText() const
{
    const int n = ItemCount();
    std::vector<std::string> items;
    items.reserve(static_cast<size_t>(n));
    size_t size = 0;
    for (int i = 0; i < n; ++i) {
        items.push_back(ItemAt(i));
        size += items.back().size() + 2;
    }
    std::string out;
    out.reserve(size);
    for (const std::string& s : items) {
        out += s;
        out += "\r\n";
    }
    return out;
}

void TStrings::SplitText(const std::string& text)
{
    TUpdateBatch batch(*this);
    RemoveAll();
    // A zero byte ends the text as it would a C string. CR and LF never occur inside a
    // double-byte character of the system code page, so the bytes can be scanned as they stand.
    const std::string body = text.substr(0, text.find('\0'));
    size_t pos = 0;
    while (pos < body.size()) {
        size_t end = body.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = body.size();
        AppendItem(body.substr(pos, end - pos));
        pos = end;
        if (pos < body.size() && body[pos] == '\r') ++pos;
        if (pos < body.size() && body[pos] == '\n') ++pos;
    }
}

void TStrings::UpdatingChanged(bool) {}

int TStrings::CompareItems(const std::string& a, const std::string& b) const
{
    int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                           static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
    if (r == 0) RaiseLastOSError();
    return r - CSTR_EQUAL;
}

int TStrings::PositionOf(const std::string& s) const
{
    const int n = ItemCount();
    for (int i = 0; i < n; ++i)
        if (CompareItems(ItemAt(i), s) == 0) return i;
    return -1;
}

int TStrings::PositionOfObject(const void* object) const
{
    const int n = ItemCount();
    for (int i = 0; i < n; ++i)
        if (ObjectAt(i) == object) return i;
    return -1;
}

void TStrings::CopyFrom(const TStrings& source)
{
    if (&source == this) return;
    TUpdateBatch batch(*this);
    RemoveAll();
    AppendList(source);
}

void TStrings::CopyFrom(TPersistent* source)
{
    if (IsInstance<TStrings>(source)) {
        CopyFrom(*static_cast<const TStrings*>(source));
        return;
    }
    TPersistent::CopyFrom(source);
}

void TStrings::BeginUpdate()
{
    if (updateCount_ == 0) UpdatingChanged(true);
    ++updateCount_;
}

void TStrings::EndUpdate()
{
    --updateCount_;
    if (updateCount_ == 0) UpdatingChanged(false);
}

void TStringList::CheckIndex(int index, int limit) const
{
    if (index < 0 || index >= limit) throw EStringListError(ListIndexErrorText(index));
}

std::string TStringList::ItemAt(int index) const
{
    CheckIndex(index, ItemCount());
    return items_[static_cast<size_t>(index)].text;
}

int TStringList::ItemCount() const { return static_cast<int>(items_.size()); }

void TStringList::InsertAt(int index, const std::string& s) { InsertItemObject(index, s, nullptr); }

void TStringList::InsertItemObject(int index, const std::string& s, void* object)
{
    CheckIndex(index, ItemCount() + 1);
    items_.insert(items_.begin() + index, Item{s, object});
}

void TStringList::RemoveAt(int index)
{
    CheckIndex(index, ItemCount());
    items_.erase(items_.begin() + index);
}

void TStringList::RemoveAll() { items_.clear(); }

void* TStringList::ObjectAt(int index) const
{
    CheckIndex(index, ItemCount());
    return items_[static_cast<size_t>(index)].object;
}

void TStringList::ReplaceObject(int index, void* object)
{
    CheckIndex(index, ItemCount());
    items_[static_cast<size_t>(index)].object = object;
}

void TStringList::ReplaceItem(int index, const std::string& s)
{
    CheckIndex(index, ItemCount());
    items_[static_cast<size_t>(index)].text = s;
}
