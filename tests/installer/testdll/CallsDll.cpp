// A stand-in for the band library's registration exports. Each call records which band-category
// cache keys exist at that moment (the installer clears them just before), then fills the caches
// again as the shell might while a band registers, so the test sees the clearing after the call.
#include "TestRegistry.h"
#include "DllLog.h"

namespace {

const char kDeskBand[] = "Component Categories\\{00021492-0000-0000-C000-000000000046}";
const char kPostSetup[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\"
    "Component Categories\\";
const char kInfoBand[] = "{00021493-0000-0000-C000-000000000046}\\Enum";
const char kCommBand[] = "{00021494-0000-0000-C000-000000000046}\\Enum";

void Create(HKEY root, const std::string& path) { testenv::CreateKeyPath(root, path); }

void Record(const char* what)
{
    const std::string deskBand = kDeskBand;
    const std::string post = kPostSetup;
    std::string line = what;
    line += " enum=" + std::to_string(testenv::KeyExists(HKEY_CLASSES_ROOT, deskBand + "\\Enum"));
    line += " en=" + std::to_string(testenv::KeyExists(HKEY_CLASSES_ROOT, deskBand + "\\En"));
    line += " info=" + std::to_string(testenv::KeyExists(HKEY_CURRENT_USER, post + kInfoBand));
    line += " comm=" + std::to_string(testenv::KeyExists(HKEY_CURRENT_USER, post + kCommBand));
    AppendLog(line);
    Create(HKEY_CLASSES_ROOT, deskBand + "\\Enum\\{0DEC0DED-0000-0000-0000-000000000001}");
    Create(HKEY_CURRENT_USER, post + kInfoBand + "\\x");
    Create(HKEY_CURRENT_USER, post + kCommBand);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    LogAttachAndDetach(instance, reason);
    return TRUE;
}

extern "C" HRESULT WINAPI DllRegisterServer()
{
    Record("register");
    return S_OK;
}

// Answers a failure: the installer does not look at the answer.
extern "C" HRESULT WINAPI DllUnregisterServer()
{
    Record("unregister");
    return E_FAIL;
}
