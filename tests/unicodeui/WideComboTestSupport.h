#pragma once
// Shared by the tests of the Unicode combo box: a shown form holding one box with recorded events,
// and characters typed into a window through a wide message loop.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../classlib/ControlsTestSupport.h"
#include "WideStdCtrls.h"

namespace combotest {

using namespace ctltest;

const std::wstring Hangul = L"한";
const std::wstring Surrogates = L"\xD842\xDFB7";  // U+20BB7, outside the code page

struct FormDeleter {
    void operator()(TCustomForm* f) const
    {
        if (f) f->Free();
    }
};
using FormPtr = std::unique_ptr<TForm, FormDeleter>;

struct ComboEvents : TObject {
    std::vector<std::string> log;
    std::vector<char> pressed;
    void Click(TObject*) { log.push_back("click"); }
    void Select(TObject*) { log.push_back("select"); }
    void Change(TObject*) { log.push_back("change"); }
    void KeyPress(TObject*, char& key) { pressed.push_back(key); }
};

struct Box {
    FormPtr form{MakeNewForm<TForm>(nullptr)};
    TWideComboBox* combo;
    ComboEvents events;
    explicit Box(TComboBoxStyle style = TComboBoxStyle::csDropDown)
    {
        form->SetBounds(0, 0, 300, 200);
        combo = new TWideComboBox(form.get());
        combo->SetParent(form.get());
        combo->SetBounds(10, 10, 150, 21);
        combo->SetStyle(style);
        combo->OnClick.Bind(&events, &ComboEvents::Click);
        combo->OnSelect.Bind(&events, &ComboEvents::Select);
        combo->OnKeyPress.Bind(&events, &ComboEvents::KeyPress);
        form->Show();
    }
    std::vector<std::wstring> Items() const
    {
        std::vector<std::wstring> out;
        for (int i = 0; i < combo->Items()->Count(); ++i) out.push_back(combo->Items()->Strings(i));
        return out;
    }
};

// Posts the characters (UTF-16 code units) to a window and runs them through a wide message loop,
// as typed text arrives.
inline void Type(HWND window, const std::wstring& text, UINT msg = WM_CHAR)
{
    for (wchar_t c : text) PostMessageW(window, msg, c, 1);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

// Put in as the edit child's default procedure: records the characters that reach the edit.
struct EditCharRecorder {
    static inline WNDPROC original = nullptr;
    static inline std::vector<WPARAM> chars;
    static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
    {
        if (msg == WM_CHAR) chars.push_back(wp);
        return CallWindowProcW(original, w, msg, wp, lp);
    }
    explicit EditCharRecorder(TCustomComboBox* combo) : combo_(combo)
    {
        chars.clear();
        original = combo->DefEditProc();
        combo->SetDefEditProc(&Proc);
    }
    ~EditCharRecorder() { combo_->SetDefEditProc(original); }

private:
    TCustomComboBox* combo_;
};

}  // namespace combotest
