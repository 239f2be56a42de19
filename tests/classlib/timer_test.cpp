// The timer ticking through its own window under a real message loop: runs, stops, survives
// its handler's exceptions without ticking behind the error display, and comes from form
// resources with its handler bound by name. No timing is asserted: loops only have a generous
// bound so that a broken timer fails instead of hanging.
#include <windows.h>
#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <stdexcept>

#include "TestEnv.h"
#include "Filer.h"
#include "ObjectInstance.h"
#include "Streams.h"
#include "Timer.h"

namespace {

class TTickForm : public TComponent {
    KERVO_CLASS(TTickForm, TComponent)
public:
    explicit TTickForm(TComponent* owner) : TComponent(owner) {}
    TTimer* Timer1 = nullptr;
    int ticks = 0;
    bool raise = false;
    bool freeTimer = false;
    void Tick(TObject* sender)
    {
        ++ticks;
        EXPECT_EQ(sender, Timer1);
        if (freeTimer) FreeAndNil(Timer1);
        if (raise) throw std::runtime_error("tick failed");
    }
};

KERVO_CLASS_RECORD(TTickForm)
{
    b.Method("Tick", &TTickForm::Tick);
    b.Field("Timer1", &TTickForm::Timer1);
}

// The error display of these tests: records, and pumps messages for a while as a message box
// would.
int shown = 0;
int ticksWhileShown = 0;
TTickForm* displayForm = nullptr;
void PumpingDisplay(std::exception_ptr)
{
    ++shown;
    const int before = displayForm->ticks;
    testenv::PumpFor(150);
    ticksWhileShown += displayForm->ticks - before;
}

}  // namespace

TEST(Timer, TicksWhileEnabledAndStopsWhenDisabled)
{
    TObjectPtr<TTickForm> form(new TTickForm(nullptr));
    auto* timer = new TTimer(form.get());
    timer->SetName("Timer1");
    ASSERT_NE(timer->WindowHandle(), nullptr);
    EXPECT_FALSE(IsWindowVisible(timer->WindowHandle()));
    EXPECT_TRUE(timer->Enabled());
    EXPECT_EQ(timer->Interval(), 1000u);

    // Without a handler nothing is scheduled.
    timer->SetInterval(10);
    testenv::PumpFor(100);
    EXPECT_EQ(form->ticks, 0);

    timer->SetOnTimer(TNotifyEvent(form.get(), &TTickForm::Tick));
    ASSERT_TRUE(testenv::PumpUntil([&] { return form->ticks >= 3; }));

    timer->SetEnabled(false);
    const int stopped = form->ticks;
    testenv::PumpFor(200);
    EXPECT_EQ(form->ticks, stopped);

    // Enabled again, and stopped by a zero interval.
    timer->SetEnabled(true);
    ASSERT_TRUE(testenv::PumpUntil([&] { return form->ticks > stopped; }));
    timer->SetInterval(0);
    const int zero = form->ticks;
    testenv::PumpFor(200);
    EXPECT_EQ(form->ticks, zero);
}

TEST(Timer, ErrorsGoToTheDisplayWithoutTicksBehindIt)
{
    TObjectPtr<TTickForm> form(new TTickForm(nullptr));
    auto* timer = new TTimer(form.get());
    timer->SetName("Timer1");
    form->raise = true;
    displayForm = form.get();
    shown = ticksWhileShown = 0;
    TStubExceptionHook previous = SetStubExceptionHook(&PumpingDisplay);
    timer->SetInterval(10);
    timer->SetOnTimer(TNotifyEvent(form.get(), &TTickForm::Tick));
    const bool twice = testenv::PumpUntil([&] { return shown >= 2; });
    timer->SetEnabled(false);
    SetStubExceptionHook(previous);
    ASSERT_TRUE(twice);
    EXPECT_EQ(ticksWhileShown, 0);
    EXPECT_EQ(form->ticks, shown);  // and the timer ticked on after each error
}

TEST(Timer, AHandlerMayFreeItsTimer)
{
    TObjectPtr<TTickForm> form(new TTickForm(nullptr));
    auto* timer = new TTimer(form.get());
    timer->SetName("Timer1");
    form->freeTimer = true;
    timer->SetInterval(10);
    timer->SetOnTimer(TNotifyEvent(form.get(), &TTickForm::Tick));
    ASSERT_TRUE(testenv::PumpUntil([&] { return form->Timer1 == nullptr; }));
    testenv::PumpFor(100);
    EXPECT_EQ(form->ticks, 1);
    EXPECT_EQ(form->ComponentCount(), 0);
}

TEST(Timer, ReadFromAFormResourceWithItsHandlerBoundByName)
{
    RegisterClassRecord(TTimer::StaticClass());
    TMemoryStream stream;
    {
        TObjectPtr<TTickForm> source(new TTickForm(nullptr));
        auto* timer = new TTimer(source.get());
        timer->SetName("Timer1");
        timer->SetEnabled(false);  // no ticks in the writing form
        timer->SetInterval(100);
        timer->SetOnTimer(TNotifyEvent(source.get(), &TTickForm::Tick));
        timer->SetEnabled(true);
        WriteComponentToStream(stream, source.get());
    }
    TObjectPtr<TTickForm> form(new TTickForm(nullptr));
    stream.SetPosition(0);
    ReadBinaryComponent(stream, form.get());
    ASSERT_NE(form->Timer1, nullptr);
    EXPECT_EQ(form->Timer1->Interval(), 100u);
    EXPECT_TRUE(form->Timer1->Enabled());
    EXPECT_EQ(form->Timer1->OnTimer().Object(), form.get());
    EXPECT_TRUE(testenv::PumpUntil([&] { return form->ticks >= 1; }));
}
