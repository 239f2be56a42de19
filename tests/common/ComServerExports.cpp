// The four COM exports of the tests' own COM libraries, as a product library writes them beside
// its DllMain: each hands the call to the library's COM server (named in each library's .def).
#include <windows.h>

#include "ComObj.h"

STDAPI DllGetClassObject(REFCLSID classID, REFIID iid, LPVOID* out)
{
    return ComServer().GetClassObject(classID, iid, out);
}

STDAPI DllCanUnloadNow()
{
    return ComServer().CanUnloadNow();
}

STDAPI DllRegisterServer()
{
    return ComServer().RegisterServer();
}

STDAPI DllUnregisterServer()
{
    return ComServer().UnregisterServer();
}
