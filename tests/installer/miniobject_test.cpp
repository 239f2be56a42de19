// The layer's object base, pointer list and text routines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "miniwin.h"

using namespace miniwin;

namespace {

// An object that notes its name in a shared log when it is destroyed.
class Probe : public TMiniObject {
public:
    std::vector<std::string>* log = nullptr;
    std::string name;
    void Destroy() override
    {
        log->push_back(name);
        TMiniObject::Destroy();
    }
};

Probe* NewProbe(std::vector<std::string>& log, const std::string& name)
{
    Probe* p = NewMiniObject<Probe>();
    p->log = &log;
    p->name = name;
    return p;
}

}  // namespace

TEST(MiniObject, FreeWaitsForTheLastReferenceAndAutoFreeRunsNewestFirst)
{
    std::vector<std::string> log;
    Probe* owner = NewProbe(log, "owner");
    owner->AddToAutoFree(NewProbe(log, "A"));
    owner->AddToAutoFree(NewProbe(log, "B"));
    struct Sink {
        std::vector<std::string>* log;
        void Destroyed(TMiniObject* sender) { log->push_back(sender ? "event" : "no sender"); }
    } sink{&log};
    owner->OnDestroy = MiniMethod<Sink, &Sink::Destroyed>(&sink);

    owner->RefInc();
    owner->RefInc();
    Free(owner);
    Free(owner);   // a second request while one is pending changes nothing
    owner->RefDec();
    EXPECT_TRUE(log.empty());
    owner->RefDec();   // the last reference: destroyed exactly once
    EXPECT_EQ(log, (std::vector<std::string>{"owner", "event", "B", "A"}));

    Probe* plain = NewProbe(log, "plain");
    plain->RefInc();
    plain->RefDec();   // references given back leave it alive
    EXPECT_EQ(log.size(), 4u);
    Free(plain);
    EXPECT_EQ(log.back(), "plain");
}

TEST(MiniList, GrowsInStepsOfFourAndDeletesOnlyUpToTheEnd)
{
    TMiniList* list = NewMiniList();
    int items[10] = {};
    std::vector<int> capacities;
    for (int& i : items) {
        list->Add(&i);
        capacities.push_back(list->Capacity);
    }
    EXPECT_EQ(capacities, (std::vector<int>{4, 4, 4, 4, 8, 8, 8, 8, 12, 12}));
    list->Insert(0, &items[9]);
    EXPECT_EQ(list->Item(1), &items[0]);
    EXPECT_EQ(list->IndexOf(&items[9]), 0);

    int absent = 0;
    EXPECT_EQ(list->IndexOf(&absent), -1);
    list->Remove(&absent);
    EXPECT_EQ(list->Count, 11);
    list->DeleteRange(8, 10);
    EXPECT_EQ(list->Count, 8);
    EXPECT_EQ(list->Item(7), &items[6]);
    EXPECT_EQ(list->Capacity, 12);   // the block is not shrunk
    list->SetCapacity(2);            // never below the count
    EXPECT_EQ(list->Capacity, 8);
    Free(list);
}

TEST(MiniText, CopiesPathsAndCommandLineParameters)
{
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    CopyTextMax(buf, "abcdefgh", 5);   // limit characters and a terminator, nothing more
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(buf[6], 'x');
    const char* t = "a\\b\\c";
    EXPECT_EQ(FindLastChar(t, '\\'), t + 3);
    EXPECT_EQ(FindChar(t, '\0'), t + 5);
    EXPECT_EQ(FindLastOf("abc", ":\\")[0], '\0');

    EXPECT_EQ(FolderOfPath("C:\\a\\b.exe"), "C:\\a\\");
    EXPECT_EQ(FolderOfPath("C:b"), "C:");
    EXPECT_EQ(FolderOfPath("b.exe"), "");
    EXPECT_EQ(FolderOfPath("\\"), "\\");
    EXPECT_EQ(FileNameOfPath("C:\\a\\b.exe"), "b.exe");
    EXPECT_EQ(FileNameOfPath("b.exe"), "b.exe");
    // 表 is 0x95 0x5C in code page 932: its second byte is no folder separator.
    const std::string kanji = "C:\\inst\\Instkervo\x95\x5C.exe";
    EXPECT_EQ(FolderOfPath(kanji.c_str()), "C:\\inst\\");
    EXPECT_EQ(FileNameOfPath(kanji.c_str()), "Instkervo\x95\x5C.exe");
    EXPECT_EQ(FindLastChar(kanji.c_str(), '\\'), kanji.c_str() + 7);
    const char* dbcs = "\x95\x5C\\";
    EXPECT_EQ(FindChar(dbcs, '\\'), dbcs + 2);

    const char* line = "\"C:\\Program Files\\x.exe\"  one \"a b\" x\"y z\"w \"\" last";
    EXPECT_EQ(CommandLineParam(line, 0), "C:\\Program Files\\x.exe");
    EXPECT_EQ(CommandLineParam(line, 1), "one");
    EXPECT_EQ(CommandLineParam(line, 2), "a b");
    EXPECT_EQ(CommandLineParam(line, 3), "x\"y z\"w");   // quotes in the middle stay
    EXPECT_EQ(CommandLineParam(line, 4), "last");        // an empty pair is no parameter
    EXPECT_EQ(CommandLineParam(line, 5), "");

    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_EQ(ExeParam(0), std::string(path, n));
    EXPECT_EQ(FormatText("%d-%s", {42, reinterpret_cast<LONG_PTR>("x")}), "42-x");
}
