// The text form and its converter, and a form loaded from its embedded resource into live
// objects and written back.
#include <gtest/gtest.h>

#include <functional>

#include "SampleClasses.h"

namespace {

// The converter's binary of one property value, without the surrounding component.
std::string ValueBytes(const std::string& value)
{
    const std::string bytes = ObjectTextToBinary("object X: T\n  P = " + value + "\nend\n");
    const std::string head = std::string("TPF0\x01T\x01X\x01P", 10);
    EXPECT_EQ(bytes.compare(0, head.size(), head), 0);
    return bytes.substr(head.size(), bytes.size() - head.size() - 2);  // without the two list ends
}

std::string Written(const std::function<void(TWriter&)>& write)
{
    TMemoryStream s;
    TWriter w(s);
    write(w);
    return s.Bytes();
}

class TUnformed : public TSampleForm {
    KERVO_CLASS(TUnformed, TSampleForm)
public:
    using TSampleForm::TSampleForm;
};
KERVO_CLASS_RECORD(TUnformed) {}

}  // namespace

TEST(TextForm, EachValueSyntaxGivesItsBinaryKind)
{
    EXPECT_EQ(ValueBytes("-200"), Written([](TWriter& w) { w.WriteInteger(-200); }));
    EXPECT_EQ(ValueBytes("$7FFFFFFF"), Written([](TWriter& w) { w.WriteInteger(0x7FFFFFFF); }));
    EXPECT_EQ(ValueBytes("-9223372036854775808"), Written([](TWriter& w) { w.WriteInteger(INT64_MIN); }));
    EXPECT_EQ(ValueBytes("True"), Written([](TWriter& w) { w.WriteBoolean(true); }));
    EXPECT_EQ(ValueBytes("nil"), Written([](TWriter& w) { w.WriteValue(TValueKind::Nil); }));
    EXPECT_EQ(ValueBytes("Owner.Child"), Written([](TWriter& w) { w.WriteIdent("Owner.Child"); }));
    EXPECT_EQ(ValueBytes("[a, bc]"), Written([](TWriter& w) {
                  w.WriteValue(TValueKind::Set);
                  w.WriteStr("a");
                  w.WriteStr("bc");
                  w.WriteStr("");
              }));
    EXPECT_EQ(ValueBytes("[]"), Written([](TWriter& w) {
                  w.WriteValue(TValueKind::Set);
                  w.WriteStr("");
              }));
    EXPECT_EQ(ValueBytes("{00 ff\n  7A}"), Written([](TWriter& w) { w.WriteBinary("\x00\xFF\x7A", 3); }));
    EXPECT_EQ(ValueBytes("(1 ('a') ())"), Written([](TWriter& w) {
                  w.WriteListBegin();
                  w.WriteInteger(1);
                  w.WriteListBegin();
                  w.WriteString("a");
                  w.WriteListEnd();
                  w.WriteListBegin();
                  w.WriteListEnd();
                  w.WriteListEnd();
              }));
    EXPECT_EQ(ValueBytes("<\n item\n  A = 1\n end\n item [3]\n end>"), Written([](TWriter& w) {
                  w.WriteValue(TValueKind::Collection);
                  w.WriteListBegin();
                  w.WriteStr("A");
                  w.WriteInteger(1);
                  w.WriteListEnd();
                  w.WriteInteger(3);
                  w.WriteListBegin();
                  w.WriteListEnd();
                  w.WriteListEnd();
              }));
}

TEST(TextForm, StringsJoinEscapeAndChooseTheirKind)
{
    EXPECT_EQ(ValueBytes("'It''s'"), Written([](TWriter& w) { w.WriteString("It's"); }));
    EXPECT_EQ(ValueBytes("'a'#13#$0A'b' +\n   'c'"), Written([](TWriter& w) { w.WriteString("a\r\nbc"); }));
    // Characters the ANSI code page holds stay single-byte; codes above 127 make the string wide.
    EXPECT_EQ(ValueBytes("'検索'"), Written([](TWriter& w) { w.WriteString("\x8C\x9F\x8D\xF5"); }));
    EXPECT_EQ(ValueBytes("#26908#32034"), Written([](TWriter& w) { w.WriteWideString(L"検索"); }));
    EXPECT_EQ(ValueBytes("'a'#233"), Written([](TWriter& w) { w.WriteWideString(L"a\u00E9"); }));
    EXPECT_EQ(ValueBytes("'\xC4\x89'"), Written([](TWriter& w) { w.WriteWideString(L"\u0109"); }));
    EXPECT_EQ(ValueBytes("'\xF0\x9F\x98\x80'"), Written([](TWriter& w) { w.WriteWideString(L"\U0001F600"); }));
    // A blank between parts separates list values.
    EXPECT_EQ(ValueBytes("('a' 'b')"), Written([](TWriter& w) {
                  w.WriteListBegin();
                  w.WriteString("a");
                  w.WriteString("b");
                  w.WriteListEnd();
              }));
}

TEST(TextForm, MalformedTextRaisesTheParserErrorAtItsLine)
{
    const std::string longName(256, 'N');
    const std::pair<std::string, int> cases[] = {
        {"object X: T\n  P = 'open\nend\n", 2},
        {"object X: T\n  P = 1\n", 3},
        {"object X: T\n  P = {ABC}\nend\n", 2},
        {"object X: T\n\n  P = 1.5\nend\n", 3},
        {"object X: T\n  P = @\nend\n", 2},
        {"object X: T\n  P = 1\nend\nextra\n", 4},
        {"object X: T\n  P = '\xC3'\nend\n", 2},
        {"object X: T\n  P = 99999999999999999999\nend\n", 2},
        {"object X: T\n  P = 'a' +\nend\n", 3},
        {"thing X: T\nend\n", 1},
        {"object X: T\n  P 1\nend\n", 2},
        // Names longer than a name can be.
        {"object " + longName + ": T\nend\n", 1},
        {"object X: T\n  " + longName + " = 1\nend\n", 2},
        {"object X: T\n  P = " + longName + "\nend\n", 2},
    };
    for (const auto& [text, line] : cases) {
        try {
            ObjectTextToBinary(text);
            ADD_FAILURE() << text;
        } catch (const EParserError& e) {
            EXPECT_EQ(e.Line(), line) << text;
        }
    }
    // Nesting deeper than any form is refused, not followed down the stack.
    std::string deep = "object X: T\n  P = " + std::string(100, '(') + std::string(100, ')') + "\nend\n";
    EXPECT_THROW(ObjectTextToBinary(deep), EReadError);
}

TEST(FormResource, LoadsIntoLiveObjectsAndWritesBackEqual)
{
    // Text -> binary -> objects -> binary, twice over: the objects reproduce the resource.
    const std::string text = SampleFormText();
    const std::string binary = ObjectTextToBinary(text);
    TObjectPtr<TSampleForm> form(Make<TSampleForm>(nullptr));
    RegisterSampleClasses();
    ReadComponentRes(form.get());
    EXPECT_EQ(form->Name(), "SampleForm");
    EXPECT_EQ(form->ComponentCount(), 6);
    EXPECT_EQ(WriteBinary(form.get()), binary);

    TObjectPtr<TSampleForm> again(LoadForm(WriteBinary(form.get())));
    EXPECT_EQ(WriteBinary(again.get()), binary);
    EXPECT_EQ(again->Combo1->Items()->Items, form->Combo1->Items()->Items);
}

TEST(FormResource, AcceptsBothFormsFindsByUpperCaseClassNameAndNumbersASecondRoot)
{
    // A byte-order mark and blank lines before the text are allowed.
    TObjectPtr<TSampleForm> fromText(LoadForm("\xEF\xBB\xBF\r\n" + SampleFormText()));
    EXPECT_NE(fromText->Combo1, nullptr);
    EXPECT_THROW(LoadForm("not a form"), EReadError);

    EXPECT_EQ(FormResourceName(TSampleForm::StaticClass()), "TSAMPLEFORM");
    TObjectPtr<TUnformed> unformed(Make<TUnformed>(nullptr));
    try {
        ReadComponentRes(unformed.get());
        FAIL();
    } catch (const EResNotFound& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()), L"リソース TUNFORMED が見つかりません");
    }

    // Two forms of one resource under one owner: the second gets a numbered name.
    TObjectPtr<TComponent> application(Make<TComponent>(nullptr));
    auto* first = Make<TSampleForm>(application.get());
    auto* second = Make<TSampleForm>(application.get());
    ReadComponentRes(first);
    ReadComponentRes(second);
    EXPECT_EQ(first->Name(), "SampleForm");
    EXPECT_EQ(second->Name(), "SampleForm_1");
}
