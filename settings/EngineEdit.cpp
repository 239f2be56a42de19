// The engine editor's OK, kept apart from the forms so that its rule reads in one place.
#include "EngineEdit.h"

#include "SysUtils.h"

void ReplaceModeEngines(TEngineLists& lists, TSearchMode mode, const TEditedEngine (&pairs)[kEngineSlots])
{
    TStringList& titles = lists.Titles(mode);
    TStringList& urls = lists.Urls(mode);
    titles.Clear();
    urls.Clear();
    for (const TEditedEngine& pair : pairs) {
        if (pair.Title.empty() || pair.Url.empty()) continue;
        const std::string title = AnsiFromWide(pair.Title);
        if (titles.IndexOf(title) >= 0) continue;
        titles.Add(title);
        urls.Add(AnsiFromWide(pair.Url));
    }
    AddDefaultEngines(lists);
}
