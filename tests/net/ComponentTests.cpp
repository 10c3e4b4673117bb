// Status texts, work brackets per mode, and the socket stack's life with the components.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/IdComponent.h"
#include "net/IdStack.h"

namespace {

// Records every work event as one line, e.g. "begin 0 100", "work 0 40", "end 0".
struct WorkLog {
    explicit WorkLog(TIdComponent& component)
    {
        component.OnWorkBegin = [this](TIdComponent*, TWorkMode mode, std::int64_t max) {
            lines.push_back("begin " + std::to_string(int(mode)) + " " + std::to_string(max));
        };
        component.OnWork = [this](TIdComponent*, TWorkMode mode, std::int64_t count) {
            lines.push_back("work " + std::to_string(int(mode)) + " " + std::to_string(count));
        };
        component.OnWorkEnd = [this](TIdComponent*, TWorkMode mode) {
            lines.push_back("end " + std::to_string(int(mode)));
        };
    }
    std::vector<std::string> lines;
};

using Lines = std::vector<std::string>;

TEST(WorkBracketTest, NestedBracketsAreReportedOnceWithTheOuterMaximum)
{
    TIdComponent component;
    WorkLog log(component);
    component.StartWork(TWorkMode::wkRead, 100);
    component.AddWork(TWorkMode::wkRead, 40);
    component.StartWork(TWorkMode::wkRead, 7);
    component.AddWork(TWorkMode::wkRead, 50);
    component.FinishWork(TWorkMode::wkRead);
    component.AddWork(TWorkMode::wkRead, 10);
    component.FinishWork(TWorkMode::wkRead);
    EXPECT_EQ(log.lines, (Lines{"begin 0 100", "work 0 40", "work 0 90", "work 0 100", "end 0"}));
    EXPECT_EQ(component.WorkLevel(TWorkMode::wkRead), 0);
}

TEST(WorkBracketTest, WorkOutsideABracketFiresNothing)
{
    TIdComponent component;
    WorkLog log(component);
    component.AddWork(TWorkMode::wkWrite, 4096);
    EXPECT_TRUE(log.lines.empty());
}

TEST(WorkBracketTest, ReadAndWriteBracketsAreIndependent)
{
    TIdComponent component;
    WorkLog log(component);
    component.StartWork(TWorkMode::wkRead, 10);
    component.StartWork(TWorkMode::wkWrite, 20);
    component.AddWork(TWorkMode::wkWrite, 5);
    component.AddWork(TWorkMode::wkRead, 3);
    component.FinishWork(TWorkMode::wkWrite);
    component.AddWork(TWorkMode::wkRead, 3);
    component.FinishWork(TWorkMode::wkRead);
    EXPECT_EQ(log.lines,
              (Lines{"begin 0 10", "begin 1 20", "work 1 5", "work 0 3", "end 1", "work 0 6", "end 0"}));
}

TEST(WorkBracketTest, CountsGoBeyondFourGibibytes)
{
    TIdComponent component;
    std::int64_t last = 0;
    component.OnWork = [&](TIdComponent*, TWorkMode, std::int64_t count) { last = count; };
    component.StartWork(TWorkMode::wkRead, 5LL << 30);
    for (int i = 0; i < 5; ++i)
        component.AddWork(TWorkMode::wkRead, 1LL << 30);
    EXPECT_EQ(last, 5LL << 30);
    EXPECT_EQ(component.WorkCountMax(TWorkMode::wkRead), 5LL << 30);
}

TEST(WorkBracketTest, TheSenderIsTheComponentDoingTheWork)
{
    TIdComponent component;
    TIdComponent* sender = nullptr;
    component.OnWorkBegin = [&](TIdComponent* s, TWorkMode, std::int64_t) { sender = s; };
    component.StartWork(TWorkMode::wkRead);
    EXPECT_EQ(sender, &component);
}

TEST(StatusTest, TextsAreFilledWithTheArgument)
{
    TIdComponent component;
    std::vector<std::pair<TIdStatus, std::string>> reports;
    component.OnStatus = [&](TIdComponent*, TIdStatus status, const std::string& text) {
        reports.emplace_back(status, text);
    };
    component.ReportStatus(TIdStatus::stResolving, "ftp.example.com");
    component.ReportStatus(TIdStatus::stConnected);
    component.ReportStatus(TIdStatus::stTransferDone, "Transfer complete");
    component.ReportStatus(TIdStatus::stDisconnected);
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[0].second, "Resolving hostname ftp.example.com.");
    EXPECT_EQ(reports[1].second, "Connected.");
    EXPECT_EQ(reports[2].first, TIdStatus::stTransferDone);
    EXPECT_EQ(reports[2].second, "Transfer complete");
    EXPECT_EQ(reports[3].second, "Disconnected.");
}

TEST(SocketStackLifeTest, TheStackLivesWhileAnyComponentDoes)
{
    const int before = NetComponentCount();
    {
        TIdComponent first;
        EXPECT_NE(SocketStack, nullptr);
        TIdStack* stack = SocketStack.get();
        {
            TIdComponent second;
            EXPECT_EQ(NetComponentCount(), before + 2);
            EXPECT_EQ(SocketStack.get(), stack) << "one stack for the process";
        }
        EXPECT_NE(SocketStack, nullptr);
    }
    EXPECT_EQ(NetComponentCount(), before);
    if (before == 0) {
        EXPECT_EQ(SocketStack, nullptr);
    }
}

} // namespace
