// Memory, file and resource streams over the real file system and the program's own resources.
#include <gtest/gtest.h>

#include "Streams.h"
#include "TestEnv.h"

TEST(Streams, MemoryStreamReadsWritesSeeksAndGrows)
{
    TMemoryStream s;
    s.WriteBuffer("abcdef", 6);
    EXPECT_EQ(s.Size(), 6);
    s.SetPosition(2);
    s.WriteBuffer("XYZW", 4);
    s.WriteBuffer("!", 1);
    EXPECT_EQ(s.Bytes(), "abXYZW!");

    s.Seek(-3, TSeekOrigin::End);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 3);
    EXPECT_EQ(std::string(buf, 3), "ZW!");
    EXPECT_EQ(s.Read(buf, 8), 0);
    s.SetPosition(5);
    EXPECT_THROW(s.ReadBuffer(buf, 3), EReadError);  // two bytes left
    EXPECT_THROW(s.Seek(-1, TSeekOrigin::Beginning), EStreamError);

    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
    TMemoryStream copy;
    EXPECT_EQ(copy.CopyFrom(s, 0), 2);  // 0: the whole source
    EXPECT_EQ(copy.Bytes(), "ab");
}

TEST(Streams, FileModesCreateOpenAndShareAsAsked)
{
    const std::string dir = testenv::MakeScratchDir("streams");
    const std::string path = dir + "\\data.bin";
    {
        TFileStream created(path, fmCreate);
        created.WriteBuffer("hello", 5);
    }
    {
        TFileStream reader(path, fmOpenRead | fmShareDenyWrite);  // mode 0x20
        EXPECT_EQ(reader.Size(), 5);
        char buf[5];
        reader.ReadBuffer(buf, 5);
        EXPECT_EQ(std::string(buf, 5), "hello");
        // Others may read beside it, but nobody may write.
        EXPECT_NO_THROW(TFileStream(path, fmOpenRead | fmShareDenyWrite));
        EXPECT_THROW(TFileStream(path, fmOpenReadWrite | fmShareDenyNone), EFOpenError);
    }
    {
        TFileStream writer(path, fmOpenReadWrite);
        writer.SetSize(2);
    }
    EXPECT_EQ(testenv::ReadFileBytes(path), "he");

    try {
        TFileStream missing(dir + "\\missing.bin", fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()), L"ファイル " + WideFromAnsi(dir) + L"\\missing.bin は開けません");
    }
    try {
        TFileStream refused(dir + "\\no folder\\new.bin", fmCreate);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()),
                  L"ファイル " + WideFromAnsi(dir) + L"\\no folder\\new.bin を作成できませんでした");
    }
    testenv::RemoveTree(dir);
}

TEST(Streams, ResourceStreamReadsTheModulesRcdataAndRefusesWrites)
{
    TResourceStream form(CurrentModuleInstance(), "TSAMPLEFORM", MAKEINTRESOURCEA(10));
    char head[6];
    form.ReadBuffer(head, 6);
    EXPECT_EQ(std::string(head, 6), "object");
    EXPECT_THROW(form.Write("x", 1), EStreamError);
    try {
        TResourceStream missing(CurrentModuleInstance(), "TNOSUCHFORM", MAKEINTRESOURCEA(10));
        FAIL();
    } catch (const EResNotFound& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()), L"リソース TNOSUCHFORM が見つかりません");
    }
}
