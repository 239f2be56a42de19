// Text and links dragged onto the band with OLE's real drag loop, and what the form tells the
// drag source.
#include <windows.h>
#include <gtest/gtest.h>

#include "ControlsTestSupport.h"
#include "HostedBand.h"
#include "SysUtils.h"
#include "TestUserInput.h"

using namespace bandtest;

namespace {

const CLIPFORMAT kUrl = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("UniformResourceLocator"));

class DropTarget : public testing::Test {
protected:
    DWORD Drag(IDataObject* data)
    {
        TquormelForm* form = band.Form();
        const POINT p = form->ComboBox1->ClientToScreen(POINT{10, 8});
        return DragOnto(p, data);
    }
    std::wstring BoxText() { return band.Form()->ComboBox1->Text(); }

    BandFolder folder;
    HostedBand band;
    ctltest::ExceptionRecorder errors;
};

}  // namespace

TEST_F(DropTarget, TextAndLinksLandAsTheirFirstLineAndTheSourceIsNeverToldMove)
{
    band.Form()->ComboBox1->SetText(L"before");
    TestDataObject text;
    text.OfferText(CF_TEXT, AnsiFromWide(L"日本語\r\n二行目\r\n三行目"));
    EXPECT_EQ(Drag(&text), DWORD{DROPEFFECT_COPY});
    EXPECT_EQ(BoxText(), L"日本語");

    TestDataObject link;
    link.OfferText(kUrl, "http://example.com/a?b=c");
    link.OfferText(CF_TEXT, "http://example.com/a?b=c");
    EXPECT_EQ(Drag(&link), DWORD{DROPEFFECT_LINK});
    EXPECT_EQ(BoxText(), L"http://example.com/a?b=c");

    // A drop fills the box only: no search, no history, nothing saved.
    EXPECT_EQ(band.Form()->ComboBox1->Items()->ItemCount(), 0);
    EXPECT_EQ(folder.Read("HIST", "0"), "<none>");

    TestDataObject leadingBreak;
    leadingBreak.OfferText(CF_TEXT, "\nsecond");
    EXPECT_EQ(Drag(&leadingBreak), DWORD{DROPEFFECT_COPY});
    EXPECT_EQ(BoxText(), L"");
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(DropTarget, DataWithoutPlainTextIsRefusedAndDroppedOnNothing)
{
    band.Form()->ComboBox1->SetText(L"kept");
    TestDataObject files;
    files.Offer(CF_HDROP, std::string(64, '\0'));
    EXPECT_EQ(Drag(&files), DWORD{DROPEFFECT_NONE});
    TestDataObject urlOnly;
    urlOnly.OfferText(kUrl, "http://example.com/");
    EXPECT_EQ(Drag(&urlOnly), DWORD{DROPEFFECT_NONE});
    EXPECT_EQ(BoxText(), L"kept");

    // A drop after an enter that found no text fetches nothing, even when text is on offer then.
    IDropTarget* target = band.Form();
    TestDataObject text;
    text.OfferText(CF_TEXT, "late");
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target->DragEnter(&files, 0, POINTL{0, 0}, &effect);
    EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target->DragOver(0, POINTL{0, 0}, &effect);
    EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target->Drop(&text, 0, POINTL{0, 0}, &effect);
    EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
    EXPECT_EQ(text.getDataCalls, 0);
    EXPECT_EQ(BoxText(), L"kept");
}

TEST_F(DropTarget, BlocksAreReadOnlyWithinTheirSize)
{
    TestDataObject unterminated;
    unterminated.Offer(CF_TEXT, "abcde");
    EXPECT_EQ(Drag(&unterminated), DWORD{DROPEFFECT_COPY});
    EXPECT_EQ(BoxText(), L"abcde");

    band.Form()->ComboBox1->SetText(L"kept");
    TestDataObject empty;
    empty.Offer(CF_TEXT, "");
    EXPECT_EQ(Drag(&empty), DWORD{DROPEFFECT_COPY});
    EXPECT_EQ(BoxText(), L"kept");
    TestDataObject none;
    none.entries.push_back({CF_TEXT, "", true});
    EXPECT_EQ(Drag(&none), DWORD{DROPEFFECT_COPY});
    EXPECT_EQ(BoxText(), L"kept");
    EXPECT_TRUE(errors.messages.empty());
}
