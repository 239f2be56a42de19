// The run level that each deliverable of this build asks Windows for, read from its manifest
// resource as the loader reads it. The installer writes the machine's class keys and must be
// started elevated; the settings program must run as the user, or Windows would redirect its
// refused writes instead of letting it report them. The band library's manifest is a library's
// (resource 2) and asks for no run level at all: a run level belongs to a program.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "TestEnv.h"

namespace {

struct Manifest {
    bool found = false;
    std::string text;
};

// The manifest resource of the given id in a built file, loaded as data (nothing of it runs).
Manifest ReadManifest(const char* unixPath, WORD id)
{
    Manifest m;
    const std::string path = testenv::WindowsPath(unixPath);
    HMODULE file = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!file) return m;
    if (HRSRC res = FindResourceA(file, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(24))) {
        const DWORD size = SizeofResource(file, res);
        if (const void* bytes = LockResource(LoadResource(file, res))) {
            m.found = true;
            m.text.assign(static_cast<const char*>(bytes), size);
        }
    }
    FreeLibrary(file);
    return m;
}

// The run level the activation context of the file's manifest resource answers; -1 when no
// context could be made or queried.
int RunLevel(const char* unixPath, WORD id)
{
    const std::string path = testenv::WindowsPath(unixPath);
    ACTCTXA ctx{};
    ctx.cbSize = sizeof ctx;
    ctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    ctx.lpSource = path.c_str();
    ctx.lpResourceName = MAKEINTRESOURCEA(id);
    HANDLE handle = CreateActCtxA(&ctx);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION info{};
    SIZE_T written = 0;
    const BOOL ok = QueryActCtxW(0, handle, nullptr, RunlevelInformationInActivationContext, &info, sizeof info,
                                 &written);
    ReleaseActCtx(handle);
    return ok ? static_cast<int>(info.RunLevel) : -1;
}

// The text between the first open tag of the element and its end; empty when it is missing.
std::string Element(const std::string& text, const std::string& name)
{
    const size_t open = text.find("<" + name);
    const size_t close = text.find("</" + name + ">", open);
    return open == std::string::npos || close == std::string::npos ? "" : text.substr(open, close - open);
}

// The run-level request in the form that Windows XP's loader accepts too: trustInfo in the v3
// namespace, inside the v1 assembly.
void ExpectRequested(const Manifest& m, const std::string& level)
{
    ASSERT_TRUE(m.found);
    EXPECT_NE(m.text.find("<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\""), std::string::npos);
    const std::string trust = Element(m.text, "trustInfo");
    EXPECT_NE(trust.find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">"), std::string::npos) << trust;
    const std::string privileges = Element(Element(trust, "security"), "requestedPrivileges");
    EXPECT_NE(privileges.find("<requestedExecutionLevel level=\"" + level + "\" uiAccess=\"false\"/>"),
              std::string::npos)
        << m.text;
}

}  // namespace

TEST(Manifests, ProgramsAskForTheirRunLevelsAndTheLibraryForNone)
{
    ExpectRequested(ReadManifest(INSTKERVO_EXE, 1), "requireAdministrator");
    ExpectRequested(ReadManifest(PALVENOR_EXE, 1), "asInvoker");
    EXPECT_EQ(RunLevel(INSTKERVO_EXE, 1), ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
    EXPECT_EQ(RunLevel(PALVENOR_EXE, 1), ACTCTX_RUN_LEVEL_AS_INVOKER);

    EXPECT_FALSE(ReadManifest(KERVODLL_DLL, 1).found) << "a library's manifest is resource 2";
    const Manifest library = ReadManifest(KERVODLL_DLL, 2);
    ASSERT_TRUE(library.found);
    EXPECT_EQ(library.text.find("trustInfo"), std::string::npos) << library.text;
    EXPECT_EQ(library.text.find("requestedExecutionLevel"), std::string::npos);
}
