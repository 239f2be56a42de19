// Fills the controls' plug-in table with the graphics, menu and action classes. The controls
// unit reaches them only through the table, so that either side builds and tests alone; every
// program that links the class library gets them joined here.
#include "ActnList.h"
#include "Controls.h"
#include "Graphics.h"
#include "Menus.h"

namespace {
template <class T>
T* As(TObject* object)
{
    return IsInstance<T>(object) ? static_cast<T*>(object) : nullptr;
}
}  // namespace

void FillControlPlugins(TControlPlugins& plugins)
{
    plugins.NewFont = []() -> TPersistent* { return new TFont; };
    plugins.FontHandle = [](TPersistent* font) -> HFONT {
        auto* f = As<TFont>(font);
        return f ? f->Handle() : nullptr;
    };
    plugins.SetFontChanged = [](TPersistent* font, std::function<void()> changed) {
        if (auto* f = As<TFont>(font)) f->OnChange = std::move(changed);
    };
    plugins.FontColor = [](TPersistent* font) -> TColor {
        auto* f = As<TFont>(font);
        return f ? f->Color() : clWindowText;
    };
    plugins.PopupMenu = [](TComponent* menu, int x, int y) {
        if (auto* m = As<TPopupMenu>(menu)) m->Popup(x, y);
    };
    plugins.ExecuteAction = [](TComponent* action) {
        auto* a = As<TBasicAction>(action);
        return a && a->Execute();
    };
    plugins.UpdateAction = [](TComponent* action) {
        if (auto* a = As<TBasicAction>(action)) a->Update();
    };
    plugins.ActionShortCutText = [](TComponent* action) -> std::string {
        auto* a = As<TCustomAction>(action);
        return a && a->ShortCut() ? ShortCutToText(a->ShortCut()) : std::string();
    };
    plugins.HintChanged = [](const std::string& hint) {
        TObjectPtr<THintAction> action(new THintAction(nullptr));
        action->SetHint(hint);
        action->Execute();
    };
}
