// The controls reach fonts, popup menus and actions through their plug-in table; these tests
// check that a program linking the whole library gets the real classes behind it.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>

#include "ActnList.h"
#include "Forms.h"
#include "Graphics.h"
#include "StdCtrls.h"

namespace {

struct FormDeleter {
    void operator()(TCustomForm* f) const
    {
        if (f) f->Free();
    }
};

struct Counter : TObject {
    int runs = 0;
    void Run(TObject*) { ++runs; }
};

}  // namespace

TEST(ControlGlue, AControlsFontIsARealFontWhoseChangeReachesTheWindow)
{
    std::unique_ptr<TForm, FormDeleter> form(MakeNewForm<TForm>(nullptr));
    auto* button = new TButton(form.get());
    button->SetParent(form.get());
    auto* font = IsInstance<TFont>(button->FontObject()) ? static_cast<TFont*>(button->FontObject()) : nullptr;
    ASSERT_NE(font, nullptr);

    font->SetName("Arial");
    font->SetHeight(-31);
    HFONT sent = reinterpret_cast<HFONT>(SendMessageA(button->Handle(), WM_GETFONT, 0, 0));
    ASSERT_NE(sent, nullptr);
    EXPECT_EQ(sent, font->Handle()) << "the window shows the font the control holds";
    LOGFONTA lf{};
    ASSERT_NE(GetObjectA(sent, sizeof lf, &lf), 0);
    EXPECT_EQ(lf.lfHeight, -31);
}

TEST(ControlGlue, AClickRunsTheLinkedActionOnce)
{
    std::unique_ptr<TForm, FormDeleter> form(MakeNewForm<TForm>(nullptr));
    auto* action = new TAction(form.get());
    Counter counter;
    action->OnExecute.Bind(&counter, &Counter::Run);
    auto* button = new TButton(form.get());
    button->SetParent(form.get());
    button->SetAction(action);
    SendMessageA(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(counter.runs, 1);
}
