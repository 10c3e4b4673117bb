// The pump: who may pump, when a pump is due, and the application's hook.
#include <gtest/gtest.h>

#include <thread>

#include "net/IdAntiFreeze.h"

namespace {

struct CountedPump {
    CountedPump()
    {
        antiFreeze.OnPumpMessages = [this](bool allWaiting) {
            ++pumps;
            lastAllWaiting = allWaiting;
        };
    }
    TIdAntiFreeze antiFreeze;
    int pumps = 0;
    bool lastAllWaiting = false;
};

TEST(AntiFreezeTest, PumpingNeedsAnActiveInstanceOnTheMainThread)
{
    EXPECT_FALSE(TIdAntiFreezeBase::PumpAllowed());
    CountedPump pump;
    EXPECT_TRUE(IsMainThread());
    EXPECT_TRUE(TIdAntiFreezeBase::PumpAllowed());
    bool allowedElsewhere = true;
    std::thread([&] { allowedElsewhere = TIdAntiFreezeBase::PumpAllowed(); }).join();
    EXPECT_FALSE(allowedElsewhere);
    pump.antiFreeze.Active = false;
    EXPECT_FALSE(TIdAntiFreezeBase::PumpAllowed());
}

TEST(AntiFreezeTest, DestroyingTheInstanceStopsThePump)
{
    {
        CountedPump pump;
        EXPECT_EQ(ActiveAntiFreeze, &pump.antiFreeze);
    }
    EXPECT_EQ(ActiveAntiFreeze, nullptr);
    TIdAntiFreezeBase::PumpIfDue(true, true);  // nothing to call, nothing happens
}

TEST(AntiFreezeTest, OnlyWhenIdleSkipsBusyPumpsUnlessOverridden)
{
    CountedPump pump;
    pump.antiFreeze.OnlyWhenIdle = true;
    pump.antiFreeze.MinPumpInterval = std::chrono::milliseconds(0);
    TIdAntiFreezeBase::PumpIfDue(false);
    EXPECT_EQ(pump.pumps, 0);
    TIdAntiFreezeBase::PumpIfDue(true);
    EXPECT_EQ(pump.pumps, 1);
    TIdAntiFreezeBase::PumpIfDue(false, true);
    EXPECT_EQ(pump.pumps, 2);
    EXPECT_TRUE(pump.lastAllWaiting) << "ApplicationHasPriority: process every waiting message";
}

TEST(AntiFreezeTest, BackToBackPumpsAreSkippedUntilTheIntervalHasPassed)
{
    CountedPump pump;
    pump.antiFreeze.OnlyWhenIdle = false;
    pump.antiFreeze.MinPumpInterval = std::chrono::hours(1);
    for (int block = 0; block < 1000; ++block)
        TIdAntiFreezeBase::PumpIfDue(false);
    EXPECT_EQ(pump.pumps, 1) << "a fast transfer must not pump on every block";
    TIdAntiFreezeBase::PumpIfDue(false, true);
    EXPECT_EQ(pump.pumps, 2) << "an explicit request always pumps";
}

TEST(AntiFreezeTest, WithoutApplicationPriorityTheHookIsAskedForOneMessage)
{
    CountedPump pump;
    pump.antiFreeze.ApplicationHasPriority = false;
    TIdAntiFreezeBase::PumpIfDue(true, true);
    EXPECT_EQ(pump.pumps, 1);
    EXPECT_FALSE(pump.lastAllWaiting);
}

} // namespace
