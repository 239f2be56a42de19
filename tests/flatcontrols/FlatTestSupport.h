#pragma once
// Shared by the flat-control tests: a form to put controls on, and a count of the GDI objects
// the process can still make. Wine answers 0 to GetGuiResources, so the count is taken by
// filling the free handle slots with regions and freeing them again: a leak of n objects
// leaves n slots fewer.
#include <windows.h>

#include <memory>
#include <vector>

#include "ExtCtrls.h"
#include "Forms.h"

namespace flattest {

struct FormDeleter {
    void operator()(TCustomForm* f) const
    {
        if (f) f->Free();
    }
};
using FormPtr = std::unique_ptr<TForm, FormDeleter>;

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

inline int FreeGdiSlots()
{
    std::vector<HRGN> taken;
    taken.reserve(70000);
    while (taken.size() < 200000) {
        HRGN r = CreateRectRgn(0, 0, 1, 1);
        if (!r) break;
        taken.push_back(r);
    }
    for (HRGN r : taken) DeleteObject(r);
    return static_cast<int>(taken.size());
}

}  // namespace flattest
