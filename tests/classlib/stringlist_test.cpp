// The ANSI string list: lookup through the system's comparison, index errors that change
// nothing, batches, objects travelling with their strings, and text splitting.
#include <windows.h>
#include <gtest/gtest.h>

#include "StringList.h"
#include "SysUtils.h"

namespace {

std::string A(const std::wstring& w) { return AnsiFromWide(w); }

std::vector<std::string> Items(const TStrings& l)
{
    std::vector<std::string> out;
    for (int i = 0; i < l.Count(); ++i) out.push_back(l.Strings(i));
    return out;
}

// A list that provides only the operations a concrete list must provide, and records the
// batches it is told about: everything else has to work through those.
class MinimalList : public TStrings {
public:
    std::string ItemAt(int index) const override { return v.at(static_cast<size_t>(index)); }
    int ItemCount() const override { return static_cast<int>(v.size()); }
    void InsertAt(int index, const std::string& s) override { v.insert(v.begin() + index, s); }
    void RemoveAt(int index) override { v.erase(v.begin() + index); }
    void RemoveAll() override { v.clear(); }
    void UpdatingChanged(bool updating) override { log += updating ? "[" : "]"; }
    std::vector<std::string> v;
    std::string log;
};

TEST(StringList, LooksUpWithoutRegardToCaseOverTheWholeText)
{
    TStringList l;
    l.Add("Internet Archive");
    l.Add("abc");
    l.Add(A(L"検索"));
    l.Add("ABC");  // duplicates are kept
    EXPECT_EQ(l.Count(), 4);
    EXPECT_EQ(l.IndexOf("internet archive"), 0);
    EXPECT_EQ(l.IndexOf("INTERNET ARCHIVE"), 0);
    EXPECT_EQ(l.IndexOf("Abc"), 1);  // the lowest index wins
    EXPECT_EQ(l.IndexOf(A(L"検索")), 2);
    EXPECT_EQ(l.IndexOf(A(L"検")), -1);
    EXPECT_EQ(l.IndexOf("ab"), -1);
    EXPECT_EQ(l.IndexOf("abc "), -1);
    EXPECT_EQ(l.IndexOf(""), -1);
    l.Add("");
    EXPECT_EQ(l.IndexOf(""), 4);
    EXPECT_EQ(l.CompareItems("a", "B"), -1);
    EXPECT_EQ(l.CompareItems("b", "A"), 1);
    EXPECT_EQ(l.CompareItems("x", "X"), 0);
}

TEST(StringList, IndexErrorsChangeNothing)
{
    TStringList l;
    int tag = 0;
    l.AddObject("a", &tag);
    l.Add("b");
    auto expectError = [&](auto action, int index) {
        try {
            action();
            ADD_FAILURE() << "no error for index " << index;
        } catch (const EStringListError& e) {
            EXPECT_EQ(WideFromAnsi(e.Message()), ListIndexErrorText(index));
        }
        EXPECT_EQ(Items(l), (std::vector<std::string>{"a", "b"}));
        EXPECT_EQ(l.Objects(0), &tag);
    };
    expectError([&] { l.Get(2); }, 2);
    expectError([&] { l.Get(-1); }, -1);
    expectError([&] { l.Put(2, "x"); }, 2);
    expectError([&] { l.Objects(5); }, 5);
    expectError([&] { l.PutObject(-3, nullptr); }, -3);
    expectError([&] { l.Delete(2); }, 2);
    expectError([&] { l.Insert(3, "x"); }, 3);
    expectError([&] { l.Insert(-1, "x"); }, -1);
    l.Insert(2, "c");  // at the end is allowed
    EXPECT_EQ(Items(l), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(StringList, ObjectsTravelWithTheirStrings)
{
    TStringList l;
    int o1 = 0, o2 = 0;
    l.AddObject("one", &o1);
    l.Add("mid");
    l.AddObject("two", &o2);
    l.Insert(0, "first");
    EXPECT_EQ(l.Objects(0), nullptr);
    EXPECT_EQ(l.Objects(1), &o1);
    EXPECT_EQ(l.IndexOfObject(&o2), 3);
    l.Put(1, "uno");  // a new string keeps the object
    EXPECT_EQ(l.Objects(1), &o1);
    l.Delete(0);
    EXPECT_EQ(Items(l), (std::vector<std::string>{"uno", "mid", "two"}));
    EXPECT_EQ(l.Objects(0), &o1);
    EXPECT_EQ(l.Objects(2), &o2);

    TStringList copy;
    copy.Add("old");
    copy.Assign(l);
    EXPECT_EQ(Items(copy), Items(l));
    EXPECT_EQ(copy.Objects(2), &o2);
    copy.Assign(copy);  // onto itself: unchanged
    EXPECT_EQ(copy.Count(), 3);
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
    EXPECT_EQ(copy.Count(), 3);
}

TEST(StringList, OperationsRestOnTheFiveAListProvides)
{
    MinimalList m;
    m.Add("x");
    m.AddObject("y", &m);  // no object storage: dropped
    EXPECT_EQ(m.Objects(1), nullptr);
    m.Put(0, "X2");
    EXPECT_EQ(m.v, (std::vector<std::string>{"X2", "y"}));
    EXPECT_EQ(m.IndexOf("x2"), 0);
    EXPECT_EQ(m.Text(), "X2\r\ny\r\n");

    TStringList src;
    src.Add("p");
    src.Add("q");
    m.log.clear();
    m.Assign(src);
    EXPECT_EQ(m.v, (std::vector<std::string>{"p", "q"}));
    EXPECT_EQ(m.log, "[]");  // one batch for the whole copy
}

TEST(StringList, BatchesNestAndCloseOnErrors)
{
    MinimalList m;
    m.BeginUpdate();
    m.BeginUpdate();
    m.EndUpdate();
    EXPECT_EQ(m.log, "[");
    m.EndUpdate();
    EXPECT_EQ(m.log, "[]");
    EXPECT_EQ(m.UpdateCount(), 0);

    // An error inside a batch closes it on the way out.
    class Failing : public MinimalList {
    public:
        void InsertAt(int index, const std::string& s) override
        {
            if (s == "bad") throw EStringListError(std::string("refused"));
            MinimalList::InsertAt(index, s);
        }
    } f;
    EXPECT_THROW(f.SetText("a\r\nbad\r\nc"), EStringListError);
    EXPECT_EQ(f.UpdateCount(), 0);
    EXPECT_EQ(f.log, "[]");
    EXPECT_EQ(f.v, (std::vector<std::string>{"a"}));
}

TEST(StringList, TextJoinsWithCrLfAndSplitsEveryLineEnd)
{
    TStringList l;
    EXPECT_EQ(l.Text(), "");
    auto split = [&](const std::string& text) {
        l.SetText(text);
        return Items(l);
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(split("a\r\n\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(split("a\r\n"), (V{"a"}));
    EXPECT_EQ(split("\r\n"), (V{""}));
    EXPECT_EQ(split("\n\r"), (V{"", ""}));
    EXPECT_EQ(split("a\rb\nc"), (V{"a", "b", "c"}));
    EXPECT_EQ(split(std::string("a\r\nb\0c\r\nd", 9)), (V{"a", "b"}));
    EXPECT_EQ(split(""), V{});
    // Shift-JIS double-byte characters whose second byte is a backslash or a letter.
    const std::string sjis = A(L"ソ表\r\nｷｬｯｼｭ");
    EXPECT_EQ(split(sjis), (V{A(L"ソ表"), A(L"ｷｬｯｼｭ")}));
    EXPECT_EQ(l.Text(), sjis + "\r\n");
}

}  // namespace
