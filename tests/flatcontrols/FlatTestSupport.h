#pragma once
// Shared by the flat-control tests: a form to put controls on, and a count of the GDI objects
// the process can still make. Wine answers 0 to GetGuiResources, so the count is taken by
// filling the free handle slots with regions and freeing them again: a leak of n objects
// leaves n slots fewer.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "ExtCtrls.h"
#include "Forms.h"
#include "TestEnv.h"

namespace flattest {

using FormPtr = TObjectPtr<TForm>;

inline FormPtr NewForm(int width = 320, int height = 200)
{
    FormPtr form(MakeNewForm<TForm>(nullptr));
    form->SetBounds(0, 0, width, height);
    return form;
}

// A panel without bevels filling the form, as the band's controls stand on one.
inline TPanel* NewPanel(TForm* form)
{
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBevelOuter(TPanelBevel::bvNone);
    panel->SetBounds(0, 0, form->ClientWidth(), form->ClientHeight());
    return panel;
}

inline int FreeGdiSlots() { return testenv::GdiExhaustion().Taken(); }

// Runs round(i) for i = 0..199 (what is made once and kept, and the objects a canvas makes on
// demand for the state it ends in), proves the counter sees a leak, then runs round(i) 1,000
// times more (ending in the same state) and expects as many free slots as before.
inline void ExpectThousandRoundsLeaveNoGdiObject(const char* what, const std::function<void(int)>& round)
{
    for (int i = 0; i < 200; ++i) round(i);
    const int before = FreeGdiSlots();
    HBRUSH leak = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(FreeGdiSlots(), before - 1) << "the counter sees a leak";
    DeleteObject(leak);
    for (int i = 0; i < 1000; ++i) round(i);
    const int after = FreeGdiSlots();
    EXPECT_EQ(after, before) << what;
    std::printf("[ GDI      ] %s: free GDI slots %d before, %d after 1000 paints\n", what, before, after);
}

}  // namespace flattest
