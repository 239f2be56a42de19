#pragma once
// ANSI string lists: TStrings, the abstract list of strings (system code page) each with an
// attached object reference, and TStringList, the list kept in memory.
//
// The virtual operations carry the names of the wide list of the Unicode layer, so that the ANSI
// view of a wide list can stand in for a TStrings by overriding the same few of them. The short
// names (Add, Insert, Delete, ...) are the everyday interface on top.
#include <string>
#include <vector>

#include "Classes.h"

// A persistent object, so that lists of other kinds (the wide lists) can be assigned to and from it.
class TStrings : public TPersistent {
    KERVO_CLASS(TStrings, TPersistent)
public:
    TStrings() = default;

    // What a concrete list provides.
    virtual std::string ItemAt(int index) const = 0;
    virtual int ItemCount() const = 0;
    virtual void InsertAt(int index, const std::string& s) = 0;
    virtual void RemoveAt(int index) = 0;
    virtual void RemoveAll() = 0;
    // A list that keeps objects provides these two; the base has none.
    virtual void* ObjectAt(int index) const;
    virtual void ReplaceObject(int index, void* object);

    // Built on the operations above.
    virtual void ReplaceItem(int index, const std::string& s);  // keeps the item's object
    virtual int AppendItem(const std::string& s);
    virtual int AppendItemObject(const std::string& s, void* object);
    virtual void InsertItemObject(int index, const std::string& s, void* object);
    virtual void AppendList(const TStrings& other);  // strings and objects, in one batch
    // Every item followed by CR LF, the last one too.
    virtual std::string JoinedText() const;
    // Replaces the items by the lines of the text: a line ends at CR LF, a lone CR or a lone LF;
    // a zero byte ends the text; a final line end adds no empty item.
    virtual void SplitText(const std::string& text);
    // Told when the outermost batch opens (true) and closes (false).
    virtual void UpdatingChanged(bool updating);
    // Without regard to case, by the user's default locale, over the whole texts: -1, 0 or 1.
    virtual int CompareItems(const std::string& a, const std::string& b) const;
    // The lowest index whose item CompareItems finds equal, or -1.
    virtual int PositionOf(const std::string& s) const;
    virtual int PositionOfObject(const void* object) const;
    // Replaces the items by copies of the source's strings and objects, in one batch.
    virtual void CopyFrom(const TStrings& source);
    // Another string list as above; any other source is asked to copy itself into this list.
    void CopyFrom(TPersistent* source) override;

    // Batches nest; only the outermost pair reaches UpdatingChanged.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

    int Count() const { return ItemCount(); }
    std::string Get(int index) const { return ItemAt(index); }
    std::string Strings(int index) const { return ItemAt(index); }
    void Put(int index, const std::string& s) { ReplaceItem(index, s); }
    void* Objects(int index) const { return ObjectAt(index); }
    void PutObject(int index, void* object) { ReplaceObject(index, object); }
    int Add(const std::string& s) { return AppendItem(s); }
    int AddObject(const std::string& s, void* object) { return AppendItemObject(s, object); }
    void Insert(int index, const std::string& s) { InsertAt(index, s); }
    void Delete(int index) { RemoveAt(index); }
    void Clear() { RemoveAll(); }
    int IndexOf(const std::string& s) const { return PositionOf(s); }
    int IndexOfObject(const void* object) const { return PositionOfObject(object); }
    using TPersistent::Assign;
    void Assign(const TStrings& source) { CopyFrom(source); }
    std::string Text() const { return JoinedText(); }
    void SetText(const std::string& text) { SplitText(text); }

private:
    int updateCount_ = 0;
};

// Unsorted, duplicates allowed; objects are referenced, never owned. Index errors raise
// EStringListError before the list changes.
class TStringList : public TStrings {
    KERVO_CLASS(TStringList, TStrings)
public:
    std::string ItemAt(int index) const override;
    int ItemCount() const override;
    void InsertAt(int index, const std::string& s) override;
    void RemoveAt(int index) override;
    void RemoveAll() override;
    void* ObjectAt(int index) const override;
    void ReplaceObject(int index, void* object) override;
    void ReplaceItem(int index, const std::string& s) override;
    void InsertItemObject(int index, const std::string& s, void* object) override;

private:
    struct Item {
        std::string text;
        void* object = nullptr;
    };
    void CheckIndex(int index, int limit) const;
    std::vector<Item> items_;
};

// Opens a batch of any list with BeginUpdate and EndUpdate, and closes it on every way out, an
// exception included.
template <class TList>
class TUpdateBatch {
public:
    explicit TUpdateBatch(TList& list) : list_(list) { list_.BeginUpdate(); }
    ~TUpdateBatch() { list_.EndUpdate(); }
    TUpdateBatch(const TUpdateBatch&) = delete;
    TUpdateBatch& operator=(const TUpdateBatch&) = delete;

private:
    TList& list_;
};
