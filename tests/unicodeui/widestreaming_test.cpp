// Wide lists and wide-string properties in form resources: what is written under which name and
// value kind, which older forms are read, the shadows applied in design state only, ancestors,
// and trips from the text form through the binary form into objects and back.
#include <windows.h>
#include <gtest/gtest.h>

#include "Filer.h"
#include "FormText.h"
#include "Streams.h"
#include "WideClasses.h"
#include "WideCodePages.h"
#include "WideStreaming.h"

namespace {

// Shaped like a Unicode combo box: wide items, a wide text, a wide hint stored only when set,
// and an ANSI caption that has no shadows.
class TStreamCombo : public TComponent {
    KERVO_CLASS(TStreamCombo, TComponent)
public:
    explicit TStreamCombo(TComponent* owner) : TComponent(owner), items_(Make<TWideStringList>()) {}
    ~TStreamCombo() override { items_->Free(); }

    TWideStringList* Items() const { return items_; }
    std::wstring Hint;
    std::wstring Text;
    std::string Caption;
    bool HintStored() const { return !Hint.empty(); }

    void DefineStreamedProperties(TFiler& filer) override
    {
        TComponent::DefineStreamedProperties(filer);
        DefineWideStringProperties(filer, this);
    }

private:
    TWideStringList* items_;
};

KERVO_CLASS_RECORD(TStreamCombo)
{
    b.WideString("Hint", &TStreamCombo::Hint).Stored(&TStreamCombo::HintStored);
    b.WideString("Text", &TStreamCombo::Text);
    b.String("Caption", &TStreamCombo::Caption);
    b.Object("Items", &TStreamCombo::Items);
}

// Counts the reads of its items and of its wide text: over a window each read costs messages.
class TCountingList : public TWideStringList {
public:
    std::wstring ItemAt(int index) const override
    {
        ++reads;
        return TWideStringList::ItemAt(index);
    }
    mutable int reads = 0;
};

class TCountingCombo : public TComponent {
    KERVO_CLASS(TCountingCombo, TComponent)
public:
    explicit TCountingCombo(TComponent* owner) : TComponent(owner), items_(Make<TCountingList>()) {}
    ~TCountingCombo() override { items_->Free(); }
    TCountingList* Items() const { return items_; }
    std::wstring Text() const
    {
        ++textReads;
        return text;
    }
    void SetText(const std::wstring& value) { text = value; }
    void DefineStreamedProperties(TFiler& filer) override
    {
        TComponent::DefineStreamedProperties(filer);
        DefineWideStringProperties(filer, this);
    }
    std::wstring text;
    mutable int textReads = 0;

private:
    TCountingList* items_;
};

KERVO_CLASS_RECORD(TCountingCombo)
{
    b.WideString("Text", &TCountingCombo::Text, &TCountingCombo::SetText);
    b.Object("Items", &TCountingCombo::Items);
}

using W = std::vector<std::wstring>;
using ComboPtr = TObjectPtr<TStreamCombo>;

ComboPtr NewCombo(const W& items = {})
{
    ComboPtr c(Make<TStreamCombo>(nullptr));
    c->SetName("Combo");
    for (const std::wstring& s : items) c->Items()->Add(s);
    return c;
}

W Items(const TWideStrings& l)
{
    W out;
    for (int i = 0; i < l.Count(); ++i) out.push_back(l.Strings(i));
    return out;
}

std::string Write(TStreamCombo* c, TStreamCombo* ancestor = nullptr)
{
    TMemoryStream s;
    WriteComponentToStream(s, c, ancestor);
    return s.Bytes();
}

void Read(TStreamCombo* c, const std::string& resource)
{
    TMemoryStream s(resource);
    ReadComponentFromStream(s, c);
}

// A property name as the binary form frames it: its length byte, then the name.
std::string Framed(const std::string& name) { return std::string(1, static_cast<char>(name.size())) + name; }

bool Has(const std::string& resource, const std::string& name)
{
    return resource.find(Framed(name)) != std::string::npos;
}

// The bytes after a property's name: its value, starting with the kind byte.
std::string ValueOf(const std::string& resource, const std::string& name)
{
    const size_t at = resource.find(Framed(name));
    if (at == std::string::npos) return std::string();
    return resource.substr(at + 1 + name.size());
}

std::string Bytes(std::initializer_list<int> bytes)
{
    std::string out;
    for (int b : bytes) out.push_back(static_cast<char>(b));
    return out;
}

std::string Form(const std::string& body)
{
    return ObjectTextToBinary("object Combo: TStreamCombo\n" + body + "\nend\n");
}

const std::wstring kSearch = L"検索";

}  // namespace

TEST(WideStreaming, TextNeedsUtf7OnlyBeyondAscii)
{
    EXPECT_FALSE(TextNeedsUtf7(L""));
    EXPECT_FALSE(TextNeedsUtf7(L"Shift+Ctrl+ ~!"));
    EXPECT_TRUE(TextNeedsUtf7(kSearch));
    EXPECT_TRUE(TextNeedsUtf7(L"caf\u00e9"));
    EXPECT_TRUE(TextNeedsUtf7(L"\uff71"));  // half-width katakana, a single byte in the ANSI code page
    EXPECT_TRUE(TextNeedsUtf7(L"a\u2028b"));
}

TEST(WideStreaming, ListItemsWrittenUnderWideStringsWithUtf7CopyWhenNeeded)
{
    // ASCII items: single-byte values under "WideStrings", no UTF-7 copy, the read-only forms never.
    ComboPtr ascii = NewCombo({L"Ctrl+", L"Shift+Ctrl+"});
    std::string r = Write(ascii.get());
    EXPECT_EQ(ValueOf(r, "Items.WideStrings").substr(0, 17),
              Bytes({1, 6, 5}) + "Ctrl+" + Bytes({6, 11}) + "Shift+C");
    EXPECT_FALSE(Has(r, "Items.WideStrings_UTF7"));
    EXPECT_FALSE(Has(r, "Items.Strings"));
    EXPECT_FALSE(Has(r, "Items.WideStringsW"));

    // 検索: UTF-16 under "WideStrings", "+aRx9Ig" under "WideStrings_UTF7"; an ASCII item beside
    // it is copied too, and a Latin letter goes as UTF-8.
    ComboPtr wide = NewCombo({kSearch, L"a", L"\u00e9t\u00e9s"});
    r = Write(wide.get());
    EXPECT_EQ(ValueOf(r, "Items.WideStrings").substr(0, 10),
              Bytes({1, 18, 2, 0, 0, 0, 0x1C, 0x69, 0x22, 0x7D}));
    EXPECT_EQ(ValueOf(r, "Items.WideStrings").substr(10, 3), Bytes({6, 1, 'a'}));
    EXPECT_EQ(ValueOf(r, "Items.WideStrings")[13], 20);
    EXPECT_EQ(ValueOf(r, "Items.WideStrings_UTF7").substr(0, 13),
              Bytes({1, 6, 7}) + "+aRx9Ig" + Bytes({6, 1}) + "a");
    EXPECT_LT(r.find(Framed("Items.WideStrings")), r.find(Framed("Items.WideStrings_UTF7")));

    // An empty list writes neither.
    ComboPtr empty = NewCombo();
    r = Write(empty.get());
    EXPECT_FALSE(Has(r, "Items.WideStrings"));
    EXPECT_FALSE(Has(r, "Items.WideStrings_UTF7"));
}

TEST(WideStreaming, ListAgainstAncestorWrittenOnlyWhenItemsDiffer)
{
    ComboPtr ancestor = NewCombo({L"Ctrl+", kSearch});
    ComboPtr same = NewCombo({L"Ctrl+", kSearch});
    std::string r = Write(same.get(), ancestor.get());
    EXPECT_FALSE(Has(r, "Items.WideStrings"));
    EXPECT_FALSE(Has(r, "Items.WideStrings_UTF7"));

    // One letter's case is a difference (the default comparison would not see it).
    ComboPtr cased = NewCombo({L"ctrl+", kSearch});
    r = Write(cased.get(), ancestor.get());
    EXPECT_TRUE(Has(r, "Items.WideStrings"));
    EXPECT_TRUE(Has(r, "Items.WideStrings_UTF7"));

    ComboPtr asciiAncestor = NewCombo({L"Ctrl+"});
    ComboPtr asciiCased = NewCombo({L"CTRL+"});
    r = Write(asciiCased.get(), asciiAncestor.get());
    EXPECT_TRUE(Has(r, "Items.WideStrings"));
    EXPECT_FALSE(Has(r, "Items.WideStrings_UTF7"));

    // Emptied against a filled ancestor: written as an empty list, so that reading clears it.
    ComboPtr emptied = NewCombo();
    r = Write(emptied.get(), ancestor.get());
    EXPECT_EQ(ValueOf(r, "Items.WideStrings").substr(0, 2), Bytes({1, 0}));
    ComboPtr derived = NewCombo({L"x", L"y"});
    Read(derived.get(), r);
    EXPECT_EQ(Items(*derived->Items()), W{});
}

TEST(WideStreaming, ShadowOfWideStringPropertyWritten)
{
    ComboPtr c = NewCombo();
    c->Text = kSearch;
    c->Caption = "abc";
    std::string r = Write(c.get());
    EXPECT_EQ(ValueOf(r, "Text").substr(0, 1), Bytes({18}));
    EXPECT_EQ(ValueOf(r, "Text_UTF7").substr(0, 9), Bytes({6, 7}) + "+aRx9Ig");
    EXPECT_FALSE(Has(r, "TextW"));
    EXPECT_FALSE(Has(r, "Hint_UTF7"));  // not stored while empty
    EXPECT_FALSE(Has(r, "Caption_UTF7"));

    // Shadows follow the class's property order.
    c->Hint = L"ヒント";
    r = Write(c.get());
    ASSERT_TRUE(Has(r, "Hint_UTF7"));
    EXPECT_LT(r.find(Framed("Hint_UTF7")), r.find(Framed("Text_UTF7")));

    // ASCII needs no shadow; a value equal to the ancestor's is neither written nor shadowed.
    ComboPtr ascii = NewCombo();
    ascii->Text = L"Shift+Ctrl+";
    EXPECT_FALSE(Has(Write(ascii.get()), "Text_UTF7"));
    ComboPtr ancestor = NewCombo();
    ancestor->Text = kSearch;
    ComboPtr same = NewCombo();
    same->Text = kSearch;
    r = Write(same.get(), ancestor.get());
    EXPECT_FALSE(Has(r, "Text"));
    EXPECT_FALSE(Has(r, "Text_UTF7"));
    same->Text = L"検索する";
    EXPECT_TRUE(Has(Write(same.get(), ancestor.get()), "Text_UTF7"));
}

TEST(WideStreaming, ListReaderTakesWholeTextsListsAndAnsiItems)
{
    // An ANSI list's items under "Strings": single-byte values in the ANSI code page.
    ComboPtr c = NewCombo({L"old"});
    Read(c.get(), Form("Items.Strings = ('ｶﾅ' 'あいう' 'plain')"));
    EXPECT_EQ(Items(*c->Items()), (W{L"ｶﾅ", L"あいう", L"plain"}));

    // One value holding the whole text, split into lines: single-byte and UTF-16.
    Read(c.get(), Form("Items.WideStrings = 'one'#13#10'two'#10'three'"));
    EXPECT_EQ(Items(*c->Items()), (W{L"one", L"two", L"three"}));
    Read(c.get(), Form("Items.WideStrings = '検索'#$2028'x'"));
    EXPECT_EQ(Items(*c->Items()), (W{kSearch, L"x"}));

    // A list of mixed kinds: single-byte, UTF-8 and UTF-16 values.
    Read(c.get(), Form("Items.WideStrings = ('Ctrl+' 'caf'#233 '検索')"));
    EXPECT_EQ(Items(*c->Items()), (W{L"Ctrl+", L"caf\u00e9", kSearch}));
    EXPECT_EQ(c->Items()->UpdateCount(), 0);
}

TEST(WideStreaming, DesignOnlyValuesIgnoredAtRunTime)
{
    // "WideStringsW" fills an empty list even at run time...
    ComboPtr c = NewCombo();
    Read(c.get(), Form("Items.WideStringsW = ('Ctrl+' #230#164#156#231#180#162)"));
    EXPECT_EQ(Items(*c->Items()), (W{L"Ctrl+", kSearch}));
    // ...but not one already filled from "WideStrings".
    ComboPtr filled = NewCombo();
    Read(filled.get(), Form("Items.WideStrings = ('a' 'b')\nItems.WideStringsW = ('x')"));
    EXPECT_EQ(Items(*filled->Items()), (W{L"a", L"b"}));

    // The UTF-7 copy, N + "W" and N + "_UTF7" change nothing at run time, not even when invalid.
    ComboPtr run = NewCombo();
    Read(run.get(), Form("Text = 'kept'\nTextW = 'x'\nText_UTF7 = '+aRx9Ig'\nHint_UTF7 = '+!!!'\n"
                         "Items.WideStrings = ('a')\nItems.WideStrings_UTF7 = ('+aRx9Ig' '+!!')"));
    EXPECT_EQ(run->Text, L"kept");
    EXPECT_EQ(run->Hint, L"");
    EXPECT_EQ(Items(*run->Items()), (W{L"a"}));
}

TEST(WideStreaming, DesignStateAppliesShadowValues)
{
    ComboPtr c = NewCombo();
    c->SetDesigning(true);
    Read(c.get(), Form("Text = '?'\nText_UTF7 = '+aRx9Ig'\nHint = '?'\nHintW = #227#131#146\n"
                       "Items.WideStrings = ('?' 'a')\nItems.WideStrings_UTF7 = ('+aRx9Ig-x' 'Shift+-Ctrl+-')"));
    EXPECT_EQ(c->Text, kSearch);
    EXPECT_EQ(c->Hint, L"ヒ");
    EXPECT_EQ(Items(*c->Items()), (W{L"検索x", L"Shift+Ctrl+"}));

    // "WideStringsW" replaces a filled list in design state.
    Read(c.get(), Form("Items.WideStringsW = ('u' 'v')"));
    EXPECT_EQ(Items(*c->Items()), (W{L"u", L"v"}));

    // There invalid UTF-7 is an error.
    try {
        Read(c.get(), Form("Text_UTF7 = '+!!'"));
        ADD_FAILURE() << "invalid UTF-7 was accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid UTF7");
    }
}

TEST(WideStreaming, ChildComponentsFollowTheirOwnersDesignState)
{
    RegisterClassRecord(TStreamCombo::StaticClass());
    const std::string form = ObjectTextToBinary(
        "object Combo: TStreamCombo\n"
        "  object Inner: TStreamCombo\n"
        "    Text_UTF7 = '+aRx9Ig'\n"
        "  end\n"
        "end\n");
    for (bool designing : {false, true}) {
        ComboPtr root = NewCombo();
        root->SetDesigning(designing);
        Read(root.get(), form);
        auto* inner = static_cast<TStreamCombo*>(root->FindComponent("Inner"));
        ASSERT_NE(inner, nullptr);
        EXPECT_EQ(inner->Text, designing ? kSearch : L"");
    }
}

TEST(WideStreaming, MalformedListKeepsWhatWasReadAndClosesTheBatch)
{
    ComboPtr c = NewCombo({L"old"});
    std::string r = Form("Items.WideStrings = ('a' 'b')");
    r = r.substr(0, r.find(Bytes({6, 1, 'b'})) + 3);  // cut before the list end
    EXPECT_THROW(Read(c.get(), r), EReadError);
    EXPECT_EQ(Items(*c->Items()), (W{L"a", L"b"}));
    EXPECT_EQ(c->Items()->UpdateCount(), 0);

    // A value of a kind the list does not take.
    EXPECT_THROW(Read(c.get(), Form("Items.WideStrings = 12")), EReadError);
    EXPECT_EQ(c->Items()->UpdateCount(), 0);
}

TEST(WideStreaming, TripsThroughBothFormsKeepEverything)
{
    // Text form -> binary -> objects -> binary -> objects.
    ComboPtr first = NewCombo();
    Read(first.get(), Form("Text = '検索'\nHint = 'h'\nCaption = 'c'\n"
                           "Items.WideStrings = ('Ctrl+' '' '検索' 'caf'#233 #$D83D#$DE00)"));
    const W expected{L"Ctrl+", L"", kSearch, L"caf\u00e9", L"\U0001F600"};
    EXPECT_EQ(Items(*first->Items()), expected);
    const std::string written = Write(first.get());
    ComboPtr second = NewCombo();
    Read(second.get(), written);
    EXPECT_EQ(Items(*second->Items()), expected);
    EXPECT_EQ(second->Text, kSearch);
    EXPECT_EQ(second->Hint, L"h");
    EXPECT_EQ(second->Caption, "c");
    EXPECT_EQ(Write(second.get()), written);

    // Long items take the four-byte single-byte kind and come back whole, in design state too,
    // where the UTF-7 copy is what is applied.
    ComboPtr big = NewCombo({std::wstring(300, L'x'), std::wstring(200, L'字') + L"end"});
    big->Text = std::wstring(100, L'ア');
    const std::string bigWritten = Write(big.get());
    EXPECT_EQ(ValueOf(bigWritten, "Items.WideStrings").substr(0, 2), Bytes({1, 12}));
    ComboPtr designer = NewCombo();
    designer->SetDesigning(true);
    Read(designer.get(), bigWritten);
    EXPECT_EQ(Items(*designer->Items()), Items(*big->Items()));
    EXPECT_EQ(designer->Text, big->Text);
}

TEST(WideStreaming, ItemsAndTextReadOnlyWhenWritingAndOnceEach)
{
    TObjectPtr<TCountingCombo> source(Make<TCountingCombo>(nullptr));
    source->SetName("Combo");
    for (const wchar_t* item : {L"a", L"検索", L"c"}) source->Items()->Add(item);
    source->SetText(kSearch);
    TMemoryStream written;
    WriteComponentToStream(written, source.get(), nullptr);
    EXPECT_EQ(source->Items()->reads, 3);  // both list values written from one reading
    const std::string resource = written.Bytes();
    EXPECT_TRUE(Has(resource, "Items.WideStrings_UTF7"));

    // Reading evaluates no write condition: the items being read in are never read back.
    TObjectPtr<TCountingCombo> target(Make<TCountingCombo>(nullptr));
    TMemoryStream in(resource);
    ReadComponentFromStream(in, target.get());
    EXPECT_EQ(target->Items()->reads, 0);
    EXPECT_EQ(target->textReads, 0);
    EXPECT_EQ(Items(*target->Items()), W({L"a", kSearch, L"c"}));
    EXPECT_EQ(target->text, kSearch);
}
