// The binary form: value kinds, reading components with references, events, parents and
// sub-properties, writing against defaults and ancestors, and malformed streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "SampleClasses.h"

namespace {

std::string Written(const std::function<void(TWriter&)>& write)
{
    TMemoryStream s;
    TWriter w(s);
    write(w);
    return s.Bytes();
}

std::string Kind(TValueKind k) { return std::string(1, static_cast<char>(k)); }

// A component resource of the sample classes from its text form.
std::string Binary(const std::string& text) { return ObjectTextToBinary(text); }

std::string FormText(const std::string& body)
{
    return "object SampleForm: TSampleForm\n  Left = 0\n  Top = 0\n  Width = 0\n  Height = 0\n" + body + "end\n";
}

}  // namespace

TEST(Values, IntegersTakeTheSmallestKindAndReadBack)
{
    struct Case {
        int64_t value;
        TValueKind kind;
        size_t size;
    } cases[] = {{127, TValueKind::Int8, 2},        {-128, TValueKind::Int8, 2},
                 {-129, TValueKind::Int16, 3},      {32767, TValueKind::Int16, 3},
                 {40000, TValueKind::Int32, 5},     {INT32_MIN, TValueKind::Int32, 5},
                 {5000000000, TValueKind::Int64, 9}, {INT64_MIN, TValueKind::Int64, 9}};
    for (const Case& c : cases) {
        const std::string bytes = Written([&](TWriter& w) { w.WriteInteger(c.value); });
        ASSERT_EQ(bytes.size(), c.size) << c.value;
        EXPECT_EQ(bytes[0], static_cast<char>(c.kind)) << c.value;
        TMemoryStream s(bytes);
        TReader r(s);
        EXPECT_EQ(r.ReadInt64(), c.value);
    }
    TMemoryStream big(Written([](TWriter& w) { w.WriteInteger(5000000000); }));
    TReader r(big);
    EXPECT_THROW(r.ReadInteger(), EReadError);
}

TEST(Values, StringKindsFollowTheWideRule)
{
    EXPECT_EQ(Written([](TWriter& w) { w.WriteString(std::string(255, 'x')); })[0], static_cast<char>(6));
    EXPECT_EQ(Written([](TWriter& w) { w.WriteString(std::string(256, 'x')); })[0], static_cast<char>(12));
    // Pure ASCII as a single-byte string, UTF-8 when shorter than UTF-16, else UTF-16.
    EXPECT_EQ(Written([](TWriter& w) { w.WriteWideString(L"abc"); }), Kind(TValueKind::String) + "\x03" "abc");
    EXPECT_EQ(Written([](TWriter& w) { w.WriteWideString(L"a\u00E9"); }),
              Kind(TValueKind::Utf8String) + std::string("\x03\0\0\0a\xC3\xA9", 7));
    EXPECT_EQ(Written([](TWriter& w) { w.WriteWideString(L"検索"); }),
              Kind(TValueKind::WString) + std::string("\x02\0\0\0\x1C\x69\x22\x7D", 8));
    EXPECT_EQ(Written([](TWriter& w) { w.WriteWideString(L""); }), Kind(TValueKind::WString) + std::string(4, '\0'));

    // Reading across the kinds: wide kinds to ANSI, single-byte kinds through the code page.
    TMemoryStream s(Written([](TWriter& w) {
        w.WriteWideString(L"検索");
        w.WriteWideString(L"a\u00E9");
        w.WriteString("\x8C\x9F\x8D\xF5");
        w.WriteWideString(std::wstring(300, L'z'));
    }));
    TReader r(s);
    EXPECT_EQ(r.ReadString(), "\x8C\x9F\x8D\xF5");
    EXPECT_EQ(r.ReadWideString(), L"a\u00E9");
    EXPECT_EQ(r.ReadWideString(), L"検索");
    EXPECT_EQ(r.NextValue(), TValueKind::LString);
    EXPECT_EQ(r.ReadWideString(), std::wstring(300, L'z'));

    // Text that UTF-8 cannot carry (a lone surrogate) goes as UTF-16 and reads back unchanged.
    for (std::wstring odd : {std::wstring(L"abcdefgh") + wchar_t(0xD800), std::wstring(1, wchar_t(0xDC00)) + L"xyz"}) {
        TMemoryStream t(Written([&](TWriter& w) { w.WriteWideString(odd); }));
        TReader rt(t);
        EXPECT_EQ(rt.NextValue(), TValueKind::WString);
        EXPECT_EQ(rt.ReadWideString(), odd);
    }
}

TEST(Values, IdentifiersListsSetsAndBinarySkipAndReadInOrder)
{
    TMemoryStream s(Written([](TWriter& w) {
        w.WriteIdent("true");
        w.WriteIdent("nil");
        w.WriteIdent("clBtnFace");
        w.WriteListBegin();
        w.WriteInteger(1);
        w.WriteListBegin();
        w.WriteString("deep");
        w.WriteListEnd();
        w.WriteListEnd();
        w.WriteBinary("\x01\x02", 2);
        w.WriteBoolean(false);
    }));
    EXPECT_EQ(s.Bytes().substr(0, 2), Kind(TValueKind::True) + Kind(TValueKind::Nil));
    TReader r(s);
    EXPECT_EQ(r.ReadIdent(), "True");
    EXPECT_EQ(r.ReadIdent(), "nil");
    EXPECT_EQ(r.ReadIdent(), "clBtnFace");
    r.SkipValue();
    EXPECT_EQ(r.ReadBinary(), "\x01\x02");
    EXPECT_FALSE(r.ReadBoolean());
}

TEST(ReaderErrors, WrongKindsMissingEndsAndImpossibleLengthsRaiseTheReaderError)
{
    auto fails = [](const std::string& bytes, const std::function<void(TReader&)>& read) {
        TMemoryStream s(bytes);
        TReader r(s);
        try {
            read(r);
        } catch (const EReadError& e) {
            return WideFromAnsi(e.Message());
        }
        return std::wstring(L"no error");
    };
    EXPECT_EQ(fails(Kind(TValueKind::String) + "\x01x", [](TReader& r) { r.ReadInteger(); }),
              L"値の種類が正しくありません");
    EXPECT_EQ(fails(Kind(TValueKind::List), [](TReader& r) { r.ReadListEnd(); }), L"リストの終わりがありません");
    // A length far beyond the stream is refused before anything is allocated.
    EXPECT_EQ(fails(Kind(TValueKind::LString) + "\xFF\xFF\xFF\x7F", [](TReader& r) { r.ReadString(); }),
              L"ストリームの読み込みエラー");
    EXPECT_EQ(fails(Kind(TValueKind::WString) + "\xFF\xFF\xFF\xFF", [](TReader& r) { r.ReadWideString(); }),
              L"フォームリソースの長さが正しくありません");
    EXPECT_EQ(fails(std::string(200, '\x01'), [](TReader& r) { r.SkipValue(); }),
              L"フォームリソースの入れ子が深すぎます");
    EXPECT_EQ(fails("TPF1", [](TReader& r) { r.ReadSignature(); }), L"フォームリソースの形式が正しくありません");
}

TEST(ReaderErrors, EveryTruncationOfAFormFailsAndLeavesWhatWasReadOutOfTheLoadingState)
{
    const std::string binary = Binary(SampleFormText());
    for (size_t n = 0; n < binary.size(); ++n) {
        RegisterSampleClasses();
        TObjectPtr<TSampleForm> form(Make<TSampleForm>(nullptr));
        TMemoryStream s(binary.substr(0, n));
        EXPECT_THROW(ReadBinaryComponent(s, form.get()), EReadError) << n;
        EXPECT_FALSE(form->IsLoading() || form->IsReading()) << n;
        for (TComponent* c : form->ComponentList()) EXPECT_FALSE(c->IsLoading() || c->IsReading()) << n;
        EXPECT_EQ(form->ActiveControl, nullptr) << n;  // nothing bound after a failure
    }
}

TEST(ReaderErrors, CorruptedFormsRaiseLibraryErrorsOnly)
{
    const std::string binary = Binary(SampleFormText());
    uint32_t seed = 12345;
    auto next = [&seed]() { return seed = seed * 1103515245u + 12345u; };
    for (int i = 0; i < 1500; ++i) {
        std::string bytes = binary;
        for (int k = 0, flips = 1 + static_cast<int>(next() % 3); k < flips; ++k) {
            bytes[(next() >> 8) % bytes.size()] = static_cast<char>(next() >> 16);
        }
        TObjectPtr<TSampleForm> form(Make<TSampleForm>(nullptr));
        TMemoryStream s(bytes);
        try {
            ReadBinaryComponent(s, form.get());
        } catch (const Exception&) {
        } catch (...) {
            ADD_FAILURE() << "a foreign exception at try " << i;
        }
    }
}

TEST(Reading, ParentsComeBeforePropertiesAndReferencesAndEventsAfterTheWholeResource)
{
    Journal().clear();
    TObjectPtr<TSampleForm> form(LoadForm(SampleFormText()));
    ASSERT_NE(form->Button1, nullptr);
    EXPECT_TRUE(form->Button1->ParentSetBeforeProperties);
    EXPECT_EQ(form->Button1->Parent(), form->Panel1);
    EXPECT_EQ(form->Panel1->Parent(), form.get());
    ASSERT_EQ(form->Menu1->Items.size(), 2u);
    EXPECT_EQ(form->Menu1->Items[1]->Name(), "MenuItem2");

    // ActiveControl and ContextMenu name components read after them; AfterLoad sees them bound.
    EXPECT_EQ(form->ActiveControl, form->Combo1);
    EXPECT_EQ(form->ContextMenu(), form->Menu1);
    EXPECT_EQ(form->Panel1->PopupMenu, form->Menu1);
    EXPECT_EQ(form->ActiveAtAfterLoad, "Combo1");
    const std::vector<std::string> order = {"AfterLoad SampleForm", "AfterLoad Panel1", "AfterLoad Button1",
                                            "AfterLoad Combo1"};
    EXPECT_EQ(Journal(), order);
    EXPECT_FALSE(form->Combo1->IsLoading());
    EXPECT_EQ(form->Combo1->ItemIndex(), 1);  // kept until the items had arrived

    Journal().clear();
    form->Button1->OnClick(form->Button1);
    form->OnCreate(form.get());
    uint16_t key = 13;
    form->Combo1->OnKeyDown(form->Combo1, key, 0);
    EXPECT_EQ(Journal(), (std::vector<std::string>{"ButtonClick Button1", "FormCreate"}));
    EXPECT_EQ(key, 0);
}

TEST(Reading, ValuesOfEveryKindReachTheirObjectsAndSubObjects)
{
    TObjectPtr<TSampleForm> form(LoadForm(SampleFormText()));
    EXPECT_EQ(form->Caption, AnsiFromWide(L"サンプル フォーム"));
    EXPECT_EQ(form->Font()->Name, AnsiFromWide(L"ＭＳ Ｐゴシック"));
    EXPECT_EQ(form->Font()->Height, -12);
    EXPECT_EQ(form->Font()->Color, static_cast<int32_t>(0xFF00000F));
    EXPECT_EQ(form->Font()->Style, (TSampleFontStyles{fsBold, fsUnderline}));
    EXPECT_EQ(form->Panel1->Align, alClient);
    EXPECT_EQ(form->Panel1->Serial, 5000000000);
    EXPECT_EQ(form->Panel1->Hint, L"It's a panel");
    ASSERT_EQ(form->Panel1->Columns()->Count(), 2);
    EXPECT_EQ(static_cast<TSampleColumn*>(form->Panel1->Columns()->Items(0))->Title, L"名前");
    EXPECT_EQ(static_cast<TSampleColumn*>(form->Panel1->Columns()->Items(0))->Width, 64);
    EXPECT_EQ(static_cast<TSampleColumn*>(form->Panel1->Columns()->Items(1))->Width, 80);
    EXPECT_EQ(form->Button1->Caption, AnsiFromWide(L"検索"));
    EXPECT_EQ(form->Button1->Hint, L"検索");
    EXPECT_FALSE(form->Button1->Visible);
    EXPECT_EQ(form->Button1->Glyph, "\x01\x02\xA0\xFF");
    EXPECT_EQ(form->Combo1->Font()->Color, 0x00C5D6D9);
    EXPECT_EQ(form->Combo1->Text, L"a\u00E9");
    const std::vector<std::wstring> items = {L"Ctrl+", L"検索", L"line one\r\nline two"};
    EXPECT_EQ(form->Combo1->Items()->Items, items);
}

TEST(Reading, UnknownNamesWrongKindsAndBadReferencesAreReaderErrors)
{
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"  Nothing = 1\n", L"プロパティ Nothing は存在しません"},
        {"  Font.Nothing = 1\n", L"プロパティ Font.Nothing は存在しません"},
        {"  PopupMenu.Caption = 'x'\n", L"プロパティ PopupMenu.Caption は存在しません"},
        {"  Caption = 1\n", L"プロパティ Caption の値が正しくありません"},
        {"  Align = alLeft\n", L"プロパティ Align の値が正しくありません"},
        {"  Font.Style = [fsBold, fsStrike]\n", L"プロパティ Font.Style の値が正しくありません"},
        {"  Tag = 5000000000\n", L"プロパティ Tag の値 5000000000 が範囲外です"},
        {"  OnClick = Missing\n", L"メソッド Missing が見つかりません"},
        {"  OnClick = ComboKeyDown\n", L"メソッド ComboKeyDown の型がイベント OnClick に合いません"},
        {"  ActiveControl = Nobody\n", L"コンポーネント Nobody が見つかりません"},
        {"  PopupMenu = Child\n  object Child: TSampleControl\n    Left = 0\n    Top = 0\n    Width = 0\n"
         "    Height = 0\n  end\n",
         L"コンポーネント Child はプロパティ PopupMenu の型 TSampleMenu に合いません"},
        {"  object Twin: TSampleMenu\n  end\n  object twin: TSampleMenu\n  end\n",
         L"twin という名前のコンポーネントは既に存在します"},
        {"  object Combo1: TSampleMenu\n  end\n", L"Combo1 のクラス TSampleMenu はフィールドの型 TSampleCombo に合いません"},
        {"  object X: TNowhere\n  end\n", L"クラス TNowhere が見つかりません"},
    };
    for (const auto& [body, message] : cases) {
        try {
            TObjectPtr<TSampleForm> form(LoadForm(Binary(FormText(body))));
            ADD_FAILURE() << body;
        } catch (const EReadError& e) {
            EXPECT_EQ(WideFromAnsi(e.Message()), message) << body;
        }
    }
}

TEST(Writing, OnlyStoredValuesThatDifferFromTheirDefaultsAreWritten)
{
    TObjectPtr<TSampleControl> control(Make<TSampleControl>(nullptr));
    control->SetName("Plain");
    control->Hint = L"-";  // not stored by its stored test
    const std::string plain = "object Plain: TSampleControl\n  Left = 0\n  Top = 0\n  Width = 0\n  Height = 0\nend\n";
    EXPECT_EQ(WriteBinary(control.get()), Binary(plain));

    control->Visible = false;
    control->Font()->Color = 0xFFFFFF;
    control->SetTag(3);
    const std::string changed = "object Plain: TSampleControl\n  Tag = 3\n  Left = 0\n  Top = 0\n  Width = 0\n"
                                "  Height = 0\n  Visible = False\n  Font.Color = clWhite\nend\n";
    EXPECT_EQ(WriteBinary(control.get()), Binary(changed));
}

TEST(Writing, AgainstAnAncestorOnlyDifferencesAreWrittenAndReadOverTheInheritedForm)
{
    TObjectPtr<TSampleForm> ancestor(LoadForm(SampleFormText()));
    TObjectPtr<TSampleForm> form(LoadForm(SampleFormText()));
    form->Button1->Caption = "Go";
    form->Combo1->Items()->Items = {L"x"};
    const std::string expected = "object SampleForm: TSampleForm\n"
                                 "  inherited Menu1: TSampleMenu\n"
                                 "    inherited MenuItem1: TSampleMenuItem\n    end\n"
                                 "    inherited MenuItem2: TSampleMenuItem\n    end\n"
                                 "  end\n"
                                 "  inherited Panel1: TSampleControl\n"
                                 "    inherited Button1: TSampleControl\n      Caption = 'Go'\n    end\n"
                                 "    inherited Combo1: TSampleCombo\n      Items.WideStrings = ('x')\n    end\n"
                                 "  end\n"
                                 "end\n";
    const std::string descendant = WriteBinary(form.get(), ancestor.get());
    EXPECT_EQ(descendant, Binary(expected));

    // Read over a form that holds the ancestor's components, the differences apply to them.
    TMemoryStream s(descendant);
    ReadBinaryComponent(s, ancestor.get());
    EXPECT_EQ(ancestor->Button1->Caption, "Go");
    EXPECT_EQ(ancestor->Combo1->Items()->Items, std::vector<std::wstring>{L"x"});
    EXPECT_EQ(ancestor->ComponentCount(), form->ComponentCount());
}

TEST(Reading, ShadowValuesApplyInDesignStateOnlyAndAnsiListsAreAccepted)
{
    const std::string resource = Binary(FormText("  object Combo1: TSampleCombo\n    Left = 0\n    Top = 0\n"
                                                 "    Width = 0\n    Height = 0\n"
                                                 "    Items.Strings = ('" "\xE6\xA4\x9C" "')\n"
                                                 "    Items.WideStringsW = ('shadow')\n  end\n"));
    TObjectPtr<TSampleForm> running(LoadForm(resource));
    EXPECT_EQ(running->Combo1->Items()->Items, std::vector<std::wstring>{L"検"});
    EXPECT_EQ(running->Combo1->Items()->ListReads, 1);

    RegisterSampleClasses();
    TObjectPtr<TSampleForm> designed(Make<TSampleForm>(nullptr));
    designed->SetDesigning(true);
    TMemoryStream s(resource);
    ReadBinaryComponent(s, designed.get());
    EXPECT_EQ(designed->Combo1->Items()->Items, std::vector<std::wstring>{L"shadow"});
}
