// The layer's object base, pointer list and text routines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "miniwin.h"

using namespace miniwin;

namespace {

// An object that writes its name into a shared log when it goes.
class Probe : public TMiniObject {
public:
    std::vector<std::string>* log = nullptr;
    std::string name;
    void Destroy() override
    {
        if (log) log->push_back(name);
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

TEST(MiniObject, FreeWhileReferencedWaitsForTheLastReference)
{
    std::vector<std::string> log;
    Probe* p = NewProbe(log, "p");
    p->RefInc();
    p->RefInc();
    Free(p);
    Free(p);   // a second request while one is pending changes nothing
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(p->RefCount, 3);
    p->RefDec();
    EXPECT_TRUE(log.empty());
    p->RefDec();
    EXPECT_EQ(log, std::vector<std::string>{"p"});

    // Without references a free destroys at once; references taken and given back leave the
    // object alive.
    Probe* q = NewProbe(log, "q");
    q->RefInc();
    q->RefDec();
    EXPECT_EQ(log.size(), 1u);
    Free(q);
    EXPECT_EQ(log.back(), "q");
    Free(nullptr);
}

TEST(MiniObject, FinalRunsOnDestroyThenAutoFreeNewestFirst)
{
    std::vector<std::string> log;
    Probe* owner = NewProbe(log, "owner");
    owner->AddToAutoFree(NewProbe(log, "A"));
    owner->AddToAutoFree(NewProbe(log, "B"));
    owner->AddToAutoFree(NewProbe(log, "C"));
    struct Sink {
        std::vector<std::string>* log;
        void Destroyed(TMiniObject* sender)
        {
            log->push_back(sender ? "event" : "event without sender");
        }
    } sink{&log};
    owner->OnDestroy = MiniMethod<Sink, &Sink::Destroyed>(&sink);
    Free(owner);
    // The probe notes its own destruction first; Final then runs the event and the pairs.
    EXPECT_EQ(log, (std::vector<std::string>{"owner", "event", "C", "B", "A"}));
}

TEST(MiniList, GrowsInStepsAndDeletesWithinBounds)
{
    TMiniList* list = NewMiniList();
    int items[20] = {};
    std::vector<int> capacities;
    for (int& i : items) {
        list->Add(&i);
        capacities.push_back(list->Capacity);
    }
    EXPECT_EQ(capacities[0], 4);
    EXPECT_EQ(capacities[4], 8);
    EXPECT_EQ(capacities[8], 12);
    EXPECT_EQ(list->Count, 20);

    list->Insert(0, &items[19]);
    EXPECT_EQ(list->Item(0), &items[19]);
    EXPECT_EQ(list->Item(1), &items[0]);
    EXPECT_EQ(list->IndexOf(&items[19]), 0);   // first of the two
    EXPECT_EQ(list->Capacity, 24);

    int absent = 0;
    EXPECT_EQ(list->IndexOf(&absent), -1);
    list->Remove(&absent);
    EXPECT_EQ(list->Count, 21);

    list->DeleteRange(18, 10);   // only up to the end
    EXPECT_EQ(list->Count, 18);
    EXPECT_EQ(list->Item(17), &items[16]);
    list->DeleteRange(3, 0);
    list->DeleteRange(40, 2);
    EXPECT_EQ(list->Count, 18);
    list->Remove(&items[19]);
    EXPECT_EQ(list->Item(0), &items[0]);
    EXPECT_EQ(list->Capacity, 24);   // deleting does not shrink the block

    list->SetCapacity(2);   // never below the count
    EXPECT_EQ(list->Capacity, 17);
    list->Clear();
    EXPECT_EQ(list->Count, 0);
    EXPECT_EQ(list->Capacity, 0);
    EXPECT_EQ(list->ItemBlock, nullptr);
    Free(list);
}

TEST(MiniText, CopyAndSearch)
{
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    CopyTextMax(buf, "abcdefgh", 5);
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(buf[6], 'x');   // limit characters and one terminator, nothing more
    CopyTextMax(buf, "ab", 5);
    EXPECT_STREQ(buf, "ab");
    EXPECT_STREQ(TextCopy(buf, "copy"), "copy");
    EXPECT_EQ(TextLength(nullptr), 0);
    EXPECT_EQ(TextLength("four"), 4);

    const char* t = "a\\b\\c";
    EXPECT_EQ(FindChar(t, '\\'), t + 1);
    EXPECT_EQ(FindChar(t, '\0'), t + 5);
    EXPECT_EQ(FindChar(t, 'z'), nullptr);
    EXPECT_EQ(FindLastChar(t, '\\'), t + 3);
    EXPECT_EQ(FindLastChar(t, 'a'), t);
    EXPECT_EQ(FindLastChar(t, 'z'), nullptr);
    EXPECT_EQ(FindLastOf(t, ":\\"), t + 3);
    const char* plain = "abc";
    EXPECT_EQ(FindLastOf(plain, ":\\"), plain + 3);   // none: the terminator
    EXPECT_EQ(*FindLastOf(nullptr, ":\\"), '\0');
    EXPECT_TRUE(MemEqual("abcd", "abce", 3));
    EXPECT_FALSE(MemEqual("abcd", "abce", 4));
}

TEST(MiniText, FolderAndFileNameOfPath)
{
    EXPECT_EQ(FolderOfPath("C:\\a\\b.exe"), "C:\\a\\");
    EXPECT_EQ(FolderOfPath("C:b"), "C:");
    EXPECT_EQ(FolderOfPath("b.exe"), "");
    EXPECT_EQ(FolderOfPath("\\"), "\\");
    EXPECT_EQ(FolderOfPath(nullptr), "");
    EXPECT_EQ(FileNameOfPath("C:\\a\\b.exe"), "b.exe");
    EXPECT_EQ(FileNameOfPath("C:b"), "b");
    EXPECT_EQ(FileNameOfPath("b.exe"), "b.exe");
    EXPECT_EQ(FileNameOfPath("C:\\a\\"), "");
}

TEST(MiniText, CommandLineParameters)
{
    const char* line = "\"C:\\Program Files\\x.exe\"  one \"a b\" x\"y z\"w \"\" last";
    EXPECT_EQ(CommandLineParam(line, 0), "C:\\Program Files\\x.exe");
    EXPECT_EQ(CommandLineParam(line, 1), "one");
    EXPECT_EQ(CommandLineParam(line, 2), "a b");
    EXPECT_EQ(CommandLineParam(line, 3), "x\"y z\"w");   // quotes in the middle stay
    EXPECT_EQ(CommandLineParam(line, 4), "last");        // an empty pair is no parameter
    EXPECT_EQ(CommandLineParam(line, 5), "");
    EXPECT_EQ(CommandLineParam(line, 9), "");
    EXPECT_EQ(CommandLineParam("prog \"open", 1), "\"open");   // a lone quote is kept
    EXPECT_EQ(CommandLineParam("prog \"\"", 1), "");

    // Index 0 of the running program is its full path, not the command line's spelling.
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_EQ(ExeParam(0), std::string(path, n));
    EXPECT_EQ(ExeParam(1000), "");
}

TEST(MiniText, FormatTextPassesNumbersAndTexts)
{
    EXPECT_EQ(FormatText("%d-%s-%x", {42, reinterpret_cast<LONG_PTR>("mid"), 255}), "42-mid-ff");
    EXPECT_EQ(FormatText("plain", {}), "plain");
}
