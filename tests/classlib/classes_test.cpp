#include <gtest/gtest.h>
#include "FormText.h"
#include "SampleClasses.h"

TEST(Scratch, LoadsForm)
{
    RegisterSampleClasses();
    TObjectPtr<TSampleForm> form(Make<TSampleForm>(nullptr));
    ReadComponentRes(form.get());
    EXPECT_EQ(form->Name(), "SampleForm");
    ASSERT_NE(form->Combo1, nullptr);
    TResourceStream rs(CurrentModuleInstance(), "TSAMPLEFORM", MAKEINTRESOURCEA(10));
    TMemoryStream text; text.CopyFrom(rs, 0);
    std::string expected = ObjectTextToBinary(text.Bytes());
    std::string actual = WriteBinary(form.get());
    EXPECT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < std::min(expected.size(), actual.size()); ++i) if (expected[i] != actual[i]) { printf("diff at %zu\n%s\n%s\n", i, expected.substr(i, 40).c_str(), actual.substr(i,40).c_str()); break; }
}
TEST(Scratch, Journal)
{
    RegisterSampleClasses();
    Journal().clear();
    TObjectPtr<TSampleForm> form(Make<TSampleForm>(nullptr));
    ReadComponentRes(form.get());
    for (auto& j : Journal()) printf("%s\n", j.c_str());
    printf("items %zu index %d loading %d\n", form->Combo1->Items()->Items.size(), form->Combo1->ItemIndex(), form->Combo1->IsLoading());
}
