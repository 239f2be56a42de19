// Wide string lists: the operations built on a concrete list's few, the in-memory list's errors
// (raised before anything changes), sorting and its rules for equal items, change events and
// batches, and assignment to and from ANSI lists through the system code page (932).
#include <windows.h>
#include <gtest/gtest.h>

#include "Streams.h"
#include "WideClasses.h"
#include "WideCodePages.h"

namespace {

std::vector<std::wstring> Items(const TWideStrings& l)
{
    std::vector<std::wstring> out;
    for (int i = 0; i < l.Count(); ++i) out.push_back(l.Strings(i));
    return out;
}

std::vector<std::string> Items(const TStrings& l)
{
    std::vector<std::string> out;
    for (int i = 0; i < l.Count(); ++i) out.push_back(l.Strings(i));
    return out;
}

using W = std::vector<std::wstring>;

std::string A(const std::wstring& w) { return AnsiFromWide(w); }

// The message of the list error the call raises, or "no error".
template <class F>
std::string ListError(F call)
{
    try {
        call();
    } catch (const EStringListError& e) {
        return e.Message();
    }
    return "no error";
}

std::string IndexError(int index)
{
    return A(L"リストのインデックスが範囲を超えています (" + std::to_wstring(index) + L")");
}
const std::string SortedError = A(L"ソートされる文字列リストに対しては許されない動作です");
const std::string DuplicateError = A(L"文字列リストは重複を許しません");

// A list that provides only what a concrete list must; everything else has to work through it.
class MinimalWideList : public TWideStrings {
public:
    std::wstring ItemAt(int index) const override { return v.at(static_cast<size_t>(index)); }
    int ItemCount() const override { return static_cast<int>(v.size()); }
    void InsertAt(int index, const std::wstring& s) override
    {
        if (index < 0 || index > ItemCount() || refuseInserts) throw std::out_of_range("insert");
        v.insert(v.begin() + index, s);
    }
    void RemoveAt(int index) override { v.erase(v.begin() + index); }
    void RemoveAll() override { v.clear(); }
    void UpdatingChanged(bool updating) override { log += updating ? "[" : "]"; }
    std::vector<std::wstring> v;
    std::string log;
    bool refuseInserts = false;  // as a combo box refusing CB_INSERTSTRING
};

// Records the change events of a list, in order: "<" changing, ">" changed.
class EventLog : public TObject {
public:
    explicit EventLog(TWideStringList& list)
    {
        list.OnChanging.Bind(this, &EventLog::Changing);
        list.OnChange.Bind(this, &EventLog::Changed);
    }
    void Changing(TObject*) { log += "<"; }
    void Changed(TObject*) { log += ">"; }
    std::string log;
};

TEST(WideStrings, SplitsAndJoinsText)
{
    MinimalWideList l;
    l.SplitText(L"a\r\n\r\nb");
    EXPECT_EQ(l.v, (W{L"a", L"", L"b"}));
    l.SplitText(L"a\r\n");
    EXPECT_EQ(l.v, (W{L"a"}));
    l.SplitText(L"\r\n");
    EXPECT_EQ(l.v, (W{L""}));
    l.SplitText(L"\n\r");
    EXPECT_EQ(l.v, (W{L"", L""}));
    l.SplitText(L"a\x2028" L"b\r\x2028" L"c\n\x2028" L"d\re");
    EXPECT_EQ(l.v, (W{L"a", L"b", L"c", L"d", L"e"}));
    l.SplitText(std::wstring(L"検索\r\nx\0y\r\n", 10));  // U+0000 ends the text
    EXPECT_EQ(l.v, (W{L"検索", L"x"}));
    l.AssignTextBuffer(L"");
    EXPECT_TRUE(l.v.empty());
    EXPECT_EQ(l.log, "[][][][][][][]");  // one batch per split

    EXPECT_EQ(l.JoinedText(), L"");
    wchar_t* buffer = l.TextBuffer();
    EXPECT_EQ(buffer[0], L'\0');
    WideCharsFree(buffer);
    l.v = {L"a", L"", L"検索"};
    EXPECT_EQ(l.JoinedText(), L"a\r\n\r\n検索\r\n");
    buffer = l.TextBuffer();
    EXPECT_EQ(std::wstring(buffer), l.JoinedText());
    WideCharsFree(buffer);
}

TEST(WideStrings, OperationsBuiltOnTheConcreteOnes)
{
    MinimalWideList l;
    l.v = {L"a", L"b", L"c"};
    l.MoveItem(2, 0);
    EXPECT_EQ(l.v, (W{L"c", L"a", L"b"}));
    l.MoveItem(1, 1);  // no move, no batch
    EXPECT_EQ(l.log, "[]");
    l.SwapItems(0, 2);
    l.Put(1, L"A");
    EXPECT_EQ(l.v, (W{L"b", L"A", L"c"}));
    EXPECT_EQ(l.IndexOf(L"a"), 1);
    EXPECT_EQ(l.AddObject(L"d", &l), 3);  // the base keeps no objects
    EXPECT_EQ(l.PositionOfObject(nullptr), 0);

    l.v = {L"key", L"other=1", L"KEY=1", L"key=a=b"};
    EXPECT_EQ(l.PositionOfName(L"key"), 2);  // without regard to case; "key" alone has no name
    l.v = {L"key=a=b"};
    EXPECT_EQ(l.PositionOfName(L"key"), 0);
    EXPECT_EQ(l.PositionOfName(L"key=a"), -1);
}

TEST(WideStrings, BatchesNestAndCloseOnAnException)
{
    MinimalWideList l;
    l.BeginUpdate();
    l.BeginUpdate();
    l.EndUpdate();
    EXPECT_EQ(l.log, "[");
    l.EndUpdate();
    EXPECT_EQ(l.log, "[]");
    EXPECT_EQ(l.UpdateCount(), 0);

    // A move outside the list is refused before anything changes; a refused insertion closes
    // the batch and loses no item.
    l.v = {L"a", L"b", L"c"};
    l.log.clear();
    EXPECT_EQ(ListError([&] { l.MoveItem(0, 3); }), IndexError(3));
    EXPECT_EQ(ListError([&] { l.MoveItem(-1, 0); }), IndexError(-1));
    EXPECT_EQ(l.log, "");
    l.refuseInserts = true;
    for (auto [from, to] : {std::pair{0, 2}, std::pair{2, 0}}) {
        EXPECT_THROW(l.MoveItem(from, to), std::out_of_range);
        EXPECT_EQ(l.v, (W{L"a", L"b", L"c"}));
    }
    EXPECT_EQ(l.log, "[][]");
    EXPECT_EQ(l.UpdateCount(), 0);
    l.refuseInserts = false;
    l.MoveItem(0, 2);
    EXPECT_EQ(l.v, (W{L"b", L"c", L"a"}));
}

TEST(WideStrings, MissingOperationsAndRefusedCopiesRaise)
{
    TWideStrings bare;
    try {
        bare.Add(L"a");
        ADD_FAILURE();
    } catch (const EAbstractError& e) {
        EXPECT_EQ(e.Message(), A(L"Abstract エラー"));
    }

    TWideStringList l;
    l.Add(L"keep");
    TPersistent other;
    auto convertError = [](auto call) {
        try {
            call();
        } catch (const EConvertError& e) {
            return e.Message();
        }
        return std::string("no error");
    };
    EXPECT_EQ(convertError([&] { l.Assign(nullptr); }), A(L"nil を TWideStringList に代入することはできません"));
    EXPECT_EQ(convertError([&] { l.Assign(&other); }), A(L"TPersistent を TWideStringList に代入することはできません"));
    EXPECT_EQ(convertError([&] { other.Assign(&l); }), A(L"TWideStringList を TPersistent に代入することはできません"));
    EXPECT_EQ(convertError([&] { l.CopyTo(nullptr); }), A(L"TWideStringList を nil に代入することはできません"));
    EXPECT_EQ(convertError([&] { other.CopyTo(nullptr); }), A(L"TPersistent を nil に代入することはできません"));
    EXPECT_EQ(Items(l), (W{L"keep"}));
}

TEST(WideStrings, CopiesFromAnotherWideListWithItsSettings)
{
    TWideStringList source;
    int o1 = 0;
    source.AddObject(L"検索", &o1);
    source.Add(L"b");
    source.SetNameValueSeparator(L':');

    MinimalWideList dest;
    dest.v = {L"old"};
    dest.Assign(&source);
    EXPECT_EQ(dest.v, (W{L"検索", L"b"}));
    EXPECT_EQ(dest.NameValueSeparator(), L':');
    EXPECT_EQ(dest.log, "[]");

    TWideStringList copy;
    copy.Assign(&source);
    EXPECT_TRUE(copy.SameItems(source));
    EXPECT_EQ(copy.Objects(0), &o1);
    copy.Put(1, L"B");
    EXPECT_FALSE(copy.SameItems(source));  // with case

    source.Assign(&source);  // onto itself: the items stay
    EXPECT_EQ(Items(source), (W{L"検索", L"b"}));
}

TEST(WideStringList, IndexErrorsComeBeforeAnyChange)
{
    TWideStringList l;
    EventLog events(l);
    l.Add(L"a");
    l.Add(L"b");
    l.Add(L"c");
    events.log.clear();
    EXPECT_EQ(ListError([&] { l.Delete(5); }), IndexError(5));
    EXPECT_EQ(ListError([&] { l.Delete(-1); }), IndexError(-1));
    EXPECT_EQ(ListError([&] { l.Put(3, L"x"); }), IndexError(3));
    EXPECT_EQ(ListError([&] { l.SwapItems(0, 3); }), IndexError(3));
    EXPECT_EQ(ListError([&] { l.InsertItemObject(4, L"x", nullptr); }), IndexError(4));
    EXPECT_EQ(ListError([&] { l.Insert(-1, L"x"); }), IndexError(-1));
    // A move to a place outside the list is refused before the item is taken out.
    EXPECT_EQ(ListError([&] { l.MoveItem(0, 3); }), IndexError(3));
    EXPECT_EQ(events.log, "");
    EXPECT_EQ(Items(l), (W{L"a", L"b", L"c"}));

    l.InsertItemObject(3, L"d", nullptr);  // the count itself appends
    EXPECT_EQ(Items(l), (W{L"a", L"b", L"c", L"d"}));
    l.MoveItem(0, 3);
    EXPECT_EQ(Items(l), (W{L"b", L"c", L"d", L"a"}));
}

TEST(WideStringList, SortedAddingFollowsTheDuplicatesRule)
{
    TWideStringList l;
    l.SetSorted(true);
    int first = 0, second = 0;
    l.Add(L"b");
    l.AddObject(L"abc", &first);
    l.Add(L"C");
    EXPECT_EQ(Items(l), (W{L"abc", L"b", L"C"}));

    EventLog events(l);
    EXPECT_EQ(l.AddObject(L"ABC", &second), 0);  // ignore: the existing item's index
    EXPECT_EQ(events.log, "");
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l.Objects(0), &first);

    l.SetDuplicates(TDuplicates::Error);
    EXPECT_EQ(ListError([&] { l.Add(L"Abc"); }), DuplicateError);
    EXPECT_EQ(events.log, "");
    EXPECT_EQ(Items(l), (W{L"abc", L"b", L"C"}));

    l.SetDuplicates(TDuplicates::Accept);
    EXPECT_EQ(l.AddObject(L"ABC", &second), 0);  // before the equal items
    EXPECT_EQ(l.AddObject(L"aBc", &second), 0);
    EXPECT_EQ(Items(l), (W{L"aBc", L"ABC", L"abc", L"b", L"C"}));
    EXPECT_EQ(events.log, "<><>");
    int index = -1;
    EXPECT_FALSE(l.FindSorted(L"bb", index));
    EXPECT_EQ(index, 4);

    // Case-sensitive: lower case sorts first in the user's locale, and equal means equal.
    TWideStringList cs;
    cs.SetCaseSensitive(true);
    cs.SetSorted(true);
    cs.Add(L"A");
    cs.Add(L"a");
    cs.Add(L"a");
    EXPECT_EQ(Items(cs), (W{L"a", L"A"}));
    EXPECT_EQ(cs.IndexOf(L"A"), 1);
    EXPECT_EQ(cs.IndexOf(L"b"), -1);
    EXPECT_EQ(l.CompareItems(L"", L"a"), -1);
    EXPECT_EQ(l.CompareItems(L"b", L"A"), 1);
    EXPECT_EQ(l.CompareItems(L"\xC4\xFF21", L"\xE4\xFF41"), 0);  // beyond ASCII: Ä Ａ, ä ａ
    EXPECT_NE(cs.CompareItems(L"\xC4", L"\xE4"), 0);

    TWideStringList names;
    names.SetSorted(true);
    names.Add(L"key");
    names.Add(L"KEY=1");
    names.Add(L"zz=2");
    EXPECT_EQ(names.PositionOfName(L"key"), names.IndexOf(L"KEY=1"));
    EXPECT_EQ(names.PositionOfName(L"zz"), 2);
    EXPECT_EQ(names.PositionOfName(L"zzz"), -1);  // past the end
}

TEST(WideStringList, SortedListRefusesPlacedChangesOnly)
{
    TWideStringList l;
    l.Add(L"c");
    l.Add(L"a");
    l.Add(L"b");
    l.SetSorted(true);  // switching it on puts the items in order
    EXPECT_EQ(Items(l), (W{L"a", L"b", L"c"}));
    EventLog events(l);
    EXPECT_EQ(ListError([&] { l.Put(9, L"x"); }), SortedError);  // before the index test
    EXPECT_EQ(ListError([&] { l.Insert(0, L"x"); }), SortedError);
    EXPECT_EQ(ListError([&] { l.InsertItemObject(0, L"x", nullptr); }), SortedError);
    EXPECT_EQ(ListError([&] { l.MoveItem(0, 2); }), SortedError);
    EXPECT_EQ(events.log, "");
    EXPECT_EQ(Items(l), (W{L"a", L"b", L"c"}));

    int o = 0;
    l.PutObject(1, &o);
    l.SwapItems(0, 2);
    EXPECT_EQ(Items(l), (W{L"c", L"b", L"a"}));
    EXPECT_EQ(l.Objects(1), &o);
    EXPECT_EQ(events.log, "<><>");
}

TEST(WideStringList, EventsAroundChangesAndBatches)
{
    TWideStringList l;
    EventLog events(l);
    l.Clear();  // an empty list: nothing at all
    EXPECT_EQ(events.log, "");

    l.BeginUpdate();
    for (int i = 0; i < 100; ++i) l.Add(std::to_wstring(i));
    EXPECT_EQ(events.log, "<");
    l.EndUpdate();
    EXPECT_EQ(events.log, "<>");
    EXPECT_EQ(l.Count(), 100);

    events.log.clear();
    l.BeginUpdate();
    l.EndUpdate();
    EXPECT_EQ(events.log, "<>");

    events.log.clear();
    l.Clear();
    EXPECT_EQ(events.log, "<>");
    EXPECT_EQ(l.ReadCapacity(), 0);

    // Each single change outside a batch: one pair.
    events.log.clear();
    l.Add(L"a");
    l.Put(0, L"b");
    l.Delete(0);
    EXPECT_EQ(events.log, "<><><>");

    // A handler's exception leaves the change in place.
    class Thrower : public TObject {
    public:
        void Changed(TObject*) { throw Exception(std::string("handler")); }
    } thrower;
    l.OnChange.Bind(&thrower, &Thrower::Changed);
    EXPECT_THROW(l.Add(L"x"), Exception);
    EXPECT_EQ(Items(l), (W{L"x"}));
}

TEST(WideStringList, SortsWithoutRegardToCaseAndOnlyWhenUnsorted)
{
    TWideStringList l;
    EventLog events(l);
    l.SortItems();
    l.Add(L"only");
    events.log.clear();
    l.SortItems();
    EXPECT_EQ(events.log, "");

    l.Clear();
    l.Add(L"a");
    l.Add(L"C");
    l.Add(L"b");
    events.log.clear();
    l.SortItems();
    EXPECT_EQ(Items(l), (W{L"a", L"b", L"C"}));
    EXPECT_EQ(events.log, "<>");

    // Objects travel with their strings; many equal items sort whole.
    TWideStringList big;
    std::vector<int> tags(200);
    for (int i = 0; i < 200; ++i) big.AddObject(std::to_wstring((i * 37) % 50), &tags[static_cast<size_t>(i)]);
    big.SortWith([](TWideStringList* list, int a, int b) {
        return std::stoi(list->Strings(a)) - std::stoi(list->Strings(b));
    });
    for (int i = 1; i < 200; ++i) EXPECT_LE(std::stoi(big.Strings(i - 1)), std::stoi(big.Strings(i)));
    for (int i = 0; i < 200; ++i) {
        const int tag = static_cast<int>(static_cast<int*>(big.Objects(i)) - tags.data());
        EXPECT_EQ(std::to_wstring((tag * 37) % 50), big.Strings(i));
    }
}

TEST(WideStringList, GrowsInSteps)
{
    TWideStringList l;
    std::vector<int> seen;
    for (int i = 0; i < 100; ++i) {
        l.Add(L"x");
        if (seen.empty() || seen.back() != l.ReadCapacity()) seen.push_back(l.ReadCapacity());
    }
    EXPECT_EQ(seen, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
    EXPECT_EQ(ListError([&] { l.Reserve(99); }), IndexError(99));
    EXPECT_EQ(l.Count(), 100);
    l.Reserve(200);
    EXPECT_EQ(l.ReadCapacity(), 200);
    EXPECT_EQ(l.Strings(99), L"x");
}

TEST(WideStringList, SearchesASortedListOfAnyElements)
{
    const std::vector<int> list{1, 3, 3, 7};
    auto compare = [](int element, const void* target) { return element - *static_cast<const int*>(target); };
    int index = -1;
    int target = 7;
    EXPECT_TRUE(SearchSortedList(list, compare, &target, index));
    EXPECT_EQ(index, 3);
    target = 4;
    EXPECT_FALSE(SearchSortedList(list, compare, &target, index));
    EXPECT_EQ(index, 3);
    EXPECT_FALSE(SearchSortedList(std::vector<int>{}, compare, &target, index));
    EXPECT_EQ(index, 0);
}

TEST(AnsiView, AssignmentBothWaysWithAnsiLists)
{
    int o1 = 0, o2 = 0;
    TStringList ansi;
    ansi.AddObject(A(L"検索"), &o1);
    ansi.AddObject(A(L"ｷｬｯｼｭ"), &o2);

    TWideStringList wide;
    wide.Add(L"old");
    EventLog events(wide);
    wide.Assign(&ansi);
    EXPECT_EQ(Items(wide), (W{L"検索", L"ｷｬｯｼｭ"}));
    EXPECT_EQ(wide.Objects(0), &o1);
    EXPECT_EQ(wide.Objects(1), &o2);
    EXPECT_EQ(wide.UpdateCount(), 0);
    // The view's batch reaches the list only at its ends; each change notifies on its own.
    ASSERT_GE(events.log.size(), 4u);
    EXPECT_EQ(events.log.substr(0, 1), "<");
    EXPECT_EQ(events.log.substr(events.log.size() - 1), ">");

    TStringList back;
    back.Add("gone");
    back.Assign(&wide);
    EXPECT_EQ(Items(back), (std::vector<std::string>{A(L"検索"), A(L"ｷｬｯｼｭ")}));
    EXPECT_EQ(back.Objects(1), &o2);

    // The published property: writing an ANSI list replaces the items.
    TStringList three;
    three.Add("x");
    wide.SetAnsiStrings(&three);
    EXPECT_EQ(Items(wide), (W{L"x"}));

    // A sorted wide list takes the ANSI items in their places instead of refusing them.
    TWideStringList sorted;
    sorted.SetSorted(true);
    sorted.Add(L"keep");
    TStringList unsortedAnsi;
    unsortedAnsi.Add("c");
    unsortedAnsi.Add("a");
    unsortedAnsi.Add("A");
    sorted.Assign(&unsortedAnsi);
    EXPECT_EQ(Items(sorted), (W{L"a", L"c"}));
}

TEST(AnsiView, RoundTripThroughTheSystemCodePage)
{
    TWideStringList wide;
    const std::wstring outside = L"\xD55C";  // Hangul: not in code page 932
    wide.Add(L"検索");
    wide.Add(outside);
    TAnsiStrings* view = wide.AnsiStrings();
    ASSERT_EQ(view->Count(), 2);
    EXPECT_EQ(view->Strings(0), A(L"検索"));
    const std::string replaced = view->Strings(1);
    EXPECT_EQ(replaced, A(outside));
    EXPECT_NE(WideFromAnsi(replaced), outside);

    view->Put(1, replaced);  // stores the replacement, not the character
    EXPECT_EQ(wide.Strings(1), WideFromAnsi(replaced));
    view->Insert(0, A(L"辞書"));
    view->Add(A(L"ﾌｧｲﾙ"));
    EXPECT_EQ(wide.Strings(0), L"辞書");
    EXPECT_EQ(wide.Strings(3), L"ﾌｧｲﾙ");
    EXPECT_EQ(view->IndexOf(A(L"ﾌｧｲﾙ")), 3);
    EXPECT_EQ(ListError([&] { view->Delete(7); }), IndexError(7));
    view->Clear();
    EXPECT_EQ(wide.Count(), 0);
}

TEST(AnsiView, ReadsAndWritesTextInACodePage)
{
    TWideStringList wide;
    wide.Add(L"検索");
    wide.Add(L"a");
    TAnsiStrings* view = wide.AnsiStrings();

    TMemoryStream utf8;
    view->SaveCodePageStream(utf8, CP_UTF8);
    EXPECT_EQ(utf8.Bytes(), EncodeUtf8(L"検索\r\na\r\n"));
    TMemoryStream utf7;
    view->SaveCodePageStream(utf7, 65000);
    EXPECT_EQ(DecodeUtf7(utf7.Bytes()), L"検索\r\na\r\n");

    TWideStringList loaded;
    EventLog events(loaded);
    TMemoryStream in("skip" + EncodeUtf8(L"辞書\nﾌｧｲﾙ"));
    in.SetPosition(4);
    loaded.AnsiStrings()->LoadCodePageStream(in, CP_UTF8);
    EXPECT_EQ(Items(loaded), (W{L"辞書", L"ﾌｧｲﾙ"}));
    utf7.SetPosition(0);
    loaded.AnsiStrings()->LoadCodePageStream(utf7, 65000);
    EXPECT_EQ(Items(loaded), (W{L"検索", L"a"}));

    TMemoryStream bad("ab+");
    try {
        loaded.AnsiStrings()->LoadCodePageStream(bad, 65000);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid UTF7");
    }
    EXPECT_EQ(Items(loaded), (W{L"検索", L"a"}));  // the failed load changed nothing
}

TEST(WideStrings, PublishesTheAnsiViewUnstored)
{
    const TPropInfo* p = TWideStringList::StaticClass().FindProperty("AnsiStrings");
    ASSERT_NE(p, nullptr);
    TWideStringList l;
    EXPECT_FALSE(p->IsStored(&l));
    EXPECT_EQ(p->GetObj(&l), l.AnsiStrings());
}

}  // namespace

TEST(WideStrings, JoinedTextReadsEachItemOnce)
{
    class Counting : public MinimalWideList {
    public:
        std::wstring ItemAt(int index) const override
        {
            ++reads;
            return MinimalWideList::ItemAt(index);
        }
        mutable int reads = 0;
    } l;
    l.v = {L"a", L"検索", L""};
    EXPECT_EQ(l.Text(), L"a\r\n検索\r\n\r\n");
    EXPECT_EQ(l.reads, 3);
}
