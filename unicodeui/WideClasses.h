#pragma once
// Lists of UTF-16 strings, each with an attached object reference, and their ANSI view.
//
// TWideStrings offers the operations of the class library's ANSI string list with every string
// held as UTF-16; every base operation reaches the items only through the virtual operations, so a
// concrete list that overrides one changes everything built on it. TWideStringList keeps its items
// in memory, optionally sorted. Every wide list carries an ANSI view (AnsiStrings), a TStrings whose
// items are the wide list's items seen through the system ANSI code page; assignment between wide
// lists and ANSI lists goes through it.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Classes.h"
#include "ObjectInstance.h"
#include "ResourceStrings.h"
#include "StringList.h"
#include "SysUtils.h"

class TStream;

// The window layer's stubs come from the class library's object-instance facility.
inline WNDPROC WideMakeObjectInstance(const TWndMethod& method) { return MakeObjectInstance(method); }
inline void WideFreeObjectInstance(WNDPROC stub) { FreeObjectInstance(stub); }

class TAnsiStringsForWideStrings;
class TAnsiStrings;

// The texts of the list errors as resource-string records, for RaiseListError.
const TResourceStringRecord* SListIndexError();  // takes the index
const TResourceStringRecord* SSortedListError();
const TResourceStringRecord* SDuplicateString();

class TWideStrings : public TPersistent {
    KERVO_CLASS(TWideStrings, TPersistent)
public:
    TWideStrings();
    ~TWideStrings() override;

    // Another wide list: its items, objects and settings replace ours, in one batch. An ANSI
    // string list: copied in through the ANSI view. Anything else: the class library's rule.
    void CopyFrom(TPersistent* source) override;
    // Into an ANSI string list, through the ANSI view; anything else is refused.
    void CopyTo(TPersistent* destination) override;
    // The items in form resources: "WideStrings" with a UTF-7 copy when needed, and the older
    // forms "Strings" and "WideStringsW" read (defined in WideStreaming.cpp).
    void DefineStreamedProperties(TFiler& filer) override;

    // What a concrete list provides; the base raises EAbstractError.
    virtual std::wstring ItemAt(int index) const;
    virtual int ReadCapacity() const;
    virtual int ItemCount() const;
    // Lists that keep objects provide these two; the base keeps none.
    virtual void* ObjectAt(int index) const;
    // Every item followed by CR LF, the last one too.
    virtual std::wstring JoinedText() const;
    virtual void ReplaceItem(int index, const std::wstring& s);  // keeps the item's object
    virtual void ReplaceObject(int index, void* object);
    virtual void Reserve(int capacity);
    // Replaces the items by the lines of the text: a line ends at CR, LF or U+2028 (CR LF, CR
    // U+2028 and LF U+2028 end one line); U+0000 ends the text; a final line end adds no item.
    virtual void SplitText(const std::wstring& text);
    // Told when the outermost batch opens (true) and closes (false).
    virtual void UpdatingChanged(bool updating);
    // -1, 0 or 1; the base compares without regard to case in the user's default locale.
    virtual int CompareItems(const std::wstring& a, const std::wstring& b) const;
    virtual int AppendItem(const std::wstring& s);
    virtual int AppendItemObject(const std::wstring& s, void* object);
    virtual void AppendList(const TWideStrings& other);  // strings and objects, in one batch
    virtual void RemoveAll();
    virtual void RemoveAt(int index);
    virtual void SwapItems(int index1, int index2);
    // A copy of JoinedText that the caller owns and frees with WideCharsFree.
    virtual wchar_t* TextBuffer() const;
    // The lowest index whose item CompareItems finds equal, or -1.
    virtual int PositionOf(const std::wstring& s) const;
    // The lowest index whose item holds the separator and whose text before it equals the name.
    virtual int PositionOfName(const std::wstring& name) const;
    virtual int PositionOfObject(const void* object) const;
    virtual void InsertAt(int index, const std::wstring& s);
    virtual void InsertItemObject(int index, const std::wstring& s, void* object);
    // The new index counts in the list without the moved item.
    virtual void MoveItem(int currentIndex, int newIndex);
    // Text files and streams: loading recognises UTF-16 (either byte order) and UTF-8 by their
    // byte-order marks and takes anything else as ANSI; saving writes UTF-16 little-endian.
    virtual void LoadFile(const std::wstring& fileName);
    virtual void LoadStream(TStream& stream, bool detectEncoding);
    virtual void SaveFile(const std::wstring& fileName);
    virtual void SaveStream(TStream& stream, bool writeByteOrderMark);
    virtual void AssignTextBuffer(const wchar_t* text);

    // Batches nest; only the outermost pair reaches UpdatingChanged.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

    wchar_t NameValueSeparator() const;
    void SetNameValueSeparator(wchar_t separator);
    wchar_t Delimiter() const { return delimiter_; }
    wchar_t QuoteChar() const { return quoteChar_; }

    // Same count and, index by index, the same strings code unit by code unit; objects ignored.
    bool SameItems(const TWideStrings& other) const;

    // The message's text formatted with the integer (where it has a "%d"), as EStringListError.
    [[noreturn]] static void RaiseListError(const TResourceStringRecord* message, int data);

    // The ANSI view; assigning an ANSI list to it replaces this list's items by the converted ones.
    TAnsiStrings* AnsiStrings() const;
    void SetAnsiStrings(TStrings* value);

    // Everyday names on top of the operations above.
    int Count() const { return ItemCount(); }
    std::wstring Strings(int index) const { return ItemAt(index); }
    void Put(int index, const std::wstring& s) { ReplaceItem(index, s); }
    void* Objects(int index) const { return ObjectAt(index); }
    void PutObject(int index, void* object) { ReplaceObject(index, object); }
    int Add(const std::wstring& s) { return AppendItem(s); }
    int AddObject(const std::wstring& s, void* object) { return AppendItemObject(s, object); }
    void Insert(int index, const std::wstring& s) { InsertAt(index, s); }
    void Delete(int index) { RemoveAt(index); }
    void Clear() { RemoveAll(); }
    int IndexOf(const std::wstring& s) const { return PositionOf(s); }
    std::wstring Text() const { return JoinedText(); }
    void SetText(const std::wstring& text) { SplitText(text); }

private:
    enum DefinedFlag : uint8_t { DelimiterDefined = 1, QuoteCharDefined = 2, SeparatorDefined = 4 };

    TObjectPtr<TAnsiStringsForWideStrings> ansiStrings_;
    // The separator is defined as "=" the first time it is read.
    mutable uint8_t defined_ = 0;
    wchar_t delimiter_ = 0;
    wchar_t quoteChar_ = 0;
    mutable wchar_t nameValueSeparator_ = 0;
    int updateCount_ = 0;
};

// Closes a batch on every way out, an exception included.
using TWideUpdateBatch = TUpdateBatch<TWideStrings>;

enum class TDuplicates : uint8_t { Ignore = 0, Accept = 1, Error = 2 };

struct TWideStringItem {
    std::wstring String;
    void* Object = nullptr;
};

class TWideStringList;
// Compares the items at two indexes of the list: negative, 0 or positive.
using TWideStringListSortCompare = int (*)(TWideStringList* list, int index1, int index2);

class TWideStringList : public TWideStrings {
    KERVO_CLASS(TWideStringList, TWideStrings)
public:
    TWideStringList() = default;
    ~TWideStringList() override;

    std::wstring ItemAt(int index) const override;
    int ReadCapacity() const override;
    int ItemCount() const override;
    void* ObjectAt(int index) const override;
    void ReplaceItem(int index, const std::wstring& s) override;
    void ReplaceObject(int index, void* object) override;
    // A capacity below the count is refused (index error) and changes nothing.
    void Reserve(int capacity) override;
    void UpdatingChanged(bool updating) override;
    int CompareItems(const std::wstring& a, const std::wstring& b) const override;
    int AppendItem(const std::wstring& s) override;
    int AppendItemObject(const std::wstring& s, void* object) override;
    void RemoveAll() override;
    void RemoveAt(int index) override;
    void SwapItems(int index1, int index2) override;
    int PositionOf(const std::wstring& s) const override;
    int PositionOfName(const std::wstring& name) const override;
    void InsertAt(int index, const std::wstring& s) override;
    void InsertItemObject(int index, const std::wstring& s, void* object) override;
    // Checked before anything moves, so that a refused move loses no item.
    void MoveItem(int currentIndex, int newIndex) override;

    // Whether an equal item exists, and the position: the match (the leftmost of equal items
    // with Duplicates accept), else where the string would be inserted. Only for a sorted list.
    virtual bool FindSorted(const std::wstring& s, int& index) const;
    virtual void SortItems();
    // Sorts an unsorted list of two or more items (not stable); a sorted list is left alone.
    virtual void SortWith(TWideStringListSortCompare compare);

    bool Sorted() const { return sorted_; }
    // Switching it on sorts the items first, so that the order the searches rely on holds.
    void SetSorted(bool sorted);
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool caseSensitive) { caseSensitive_ = caseSensitive; }

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    virtual void NotifyChanged();
    virtual void NotifyChanging();
    virtual void InsertRecord(int index, const std::wstring& s, void* object);

private:
    void CheckIndex(int index) const;
    void QuickSort(int left, int right, TWideStringListSortCompare compare);

    std::vector<TWideStringItem> items_;  // capacity_ records; the first count_ in use
    int count_ = 0;
    int capacity_ = 0;
    bool sorted_ = false;
    TDuplicates duplicates_ = TDuplicates::Ignore;
    bool caseSensitive_ = false;
};

// The bisection of both sorted searches (FindSorted, SearchSortedList) over count elements:
// compareAt(i) answers the element at i against the target, negative, 0 or positive. A match
// ends the search, unless leftmost asks for the first of equal elements. Answers whether a match
// exists; index is the match, else the position where the target would go.
template <class CompareAt>
bool BisectSorted(int count, CompareAt compareAt, bool leftmost, int& index)
{
    int low = 0;
    int high = count - 1;
    bool found = false;
    while (low <= high) {
        const int middle = static_cast<int>((static_cast<unsigned>(low) + static_cast<unsigned>(high)) >> 1);
        const int c = compareAt(middle);
        if (c < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (c == 0) {
                found = true;
                if (!leftmost) low = middle;
            }
        }
    }
    index = low;
    return found;
}

// Bisection over a sorted list: compare(element, target) answers negative, 0 or positive. Answers
// whether a match exists; index is the match, else the position where the target would go.
template <class T, class Compare>
bool SearchSortedList(const std::vector<T>& list, Compare compare, const void* target, int& index)
{
    const auto compareAt = [&](int i) { return compare(list[static_cast<size_t>(i)], target); };
    return BisectSorted(static_cast<int>(list.size()), compareAt, false, index);
}

// An ANSI string list that can also read and write its text in a given code page.
class TAnsiStrings : public TStrings {
    KERVO_CLASS(TAnsiStrings, TStrings)
public:
    // The base raises EAbstractError.
    virtual void LoadCodePageStream(TStream& stream, UINT codePage);
    virtual void SaveCodePageStream(TStream& stream, UINT codePage);
};

// The ANSI view of a wide list: stores nothing, every operation goes to the wide list at once.
// Characters outside the system ANSI code page come back as the code page's replacement.
class TAnsiStringsForWideStrings : public TAnsiStrings {
    KERVO_CLASS(TAnsiStringsForWideStrings, TAnsiStrings)
public:
    explicit TAnsiStringsForWideStrings(TWideStrings* wideStrings) : wideStrings_(wideStrings) {}

    TWideStrings* WideStrings() const { return wideStrings_; }
    void SetWideStrings(TWideStrings* wideStrings) { wideStrings_ = wideStrings; }

    std::string ItemAt(int index) const override;
    int ItemCount() const override;
    void* ObjectAt(int index) const override;
    void ReplaceItem(int index, const std::string& s) override;
    void ReplaceObject(int index, void* object) override;
    void UpdatingChanged(bool updating) override;
    void RemoveAll() override;
    void RemoveAt(int index) override;
    void InsertAt(int index, const std::string& s) override;
    // Append through the wide list's own appending, so that a sorted wide list takes the item
    // in its place instead of refusing an insertion at the end.
    int AppendItem(const std::string& s) override;
    int AppendItemObject(const std::string& s, void* object) override;

    // Reads from the stream's position to its end, decodes and splits into the wide list.
    void LoadCodePageStream(TStream& stream, UINT codePage) override;
    // The wide list's text in the code page, without byte-order mark.
    void SaveCodePageStream(TStream& stream, UINT codePage) override;

private:
    TWideStrings* wideStrings_ = nullptr;
};
