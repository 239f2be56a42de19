// The shell caches which classes belong to the band component categories; a band that was just
// registered or unregistered appears in (or leaves) the taskbar's toolbar list only once these
// caches are gone.
#include "InstUnit.h"
#include "Registry.h"

namespace {

const std::string kDeskBandCategory =
    "Component Categories\\{00021492-0000-0000-C000-000000000046}";
const std::string kInfoBandCache =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\"
    "Component Categories\\{00021493-0000-0000-C000-000000000046}\\Enum";
const std::string kCommBandCache =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\"
    "Component Categories\\{00021494-0000-0000-C000-000000000046}\\Enum";

}  // namespace

void ClearBandCategoryCache()
{
    // Every step runs whatever the earlier ones did; none is reported.
    TRegistry registry(KEY_ALL_ACCESS);
    registry.SetRootKey(HKEY_CLASSES_ROOT);
    // Creating the two cache keys first makes sure the category key itself exists.
    registry.OpenKey(kDeskBandCategory + "\\Enum", true);
    registry.CloseKey();
    registry.OpenKey(kDeskBandCategory + "\\En", true);
    registry.CloseKey();
    registry.DeleteKey(kDeskBandCategory + "\\Enum");
    registry.DeleteKey(kDeskBandCategory + "\\En");
    registry.CloseKey();

    registry.SetRootKey(HKEY_CURRENT_USER);
    registry.DeleteKey(kInfoBandCache);
    registry.DeleteKey(kCommBandCache);
    registry.CloseKey();
}
