#include "core/work/lane.h"
#include "turnstile.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <thread>

namespace kps {
namespace {

using namespace std::chrono_literals;

// Receives what the jobs deliver: the job's number and whether it saw its stop flag.
struct Owner : QObject {
    explicit Owner(WorkLane::Order order = WorkLane::Order::All,
                   std::shared_ptr<std::atomic<int>> letGo = {})
        : lane(this, 100ms, std::move(letGo), order) {}
    std::vector<std::pair<int, bool>> got;
    WorkLane lane;
};

// Deliveries need an application object; one per test, unless another suite left its own.
class WorkLaneTest : public ::testing::Test {
  protected:
    static inline int argc_ = 1;
    static inline char arg0_[] = "core_tests";
    static inline char* argv_[] = {arg0_, nullptr};
    std::unique_ptr<QCoreApplication> app_{
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc_, argv_)};
};

// What happens to three jobs posted while a first one runs.
enum class Then { Nothing, TakeWaiting, Stop };

TEST_F(WorkLaneTest, JobsRunInOrderAndSeeWhatStoppedThem) {
    const struct {
        WorkLane::Order order;
        Then then;
        std::vector<quint64> taken;
        std::vector<std::pair<int, bool>> got;
    } cases[] = {
        {WorkLane::Order::All, Then::Nothing, {}, {{0, false}, {1, false}, {2, false}, {3, false}}},
        {WorkLane::Order::All,
         Then::TakeWaiting,
         {11, 12, 13},
         {{0, false}, {1, true}, {2, true}, {3, true}}},
        {WorkLane::Order::All, Then::Stop, {}, {{0, true}, {1, true}, {2, true}, {3, true}}},
        {WorkLane::Order::LatestWins,
         Then::Nothing,
         {},
         {{0, true}, {1, true}, {2, true}, {3, false}}},
    };
    for (const auto& c : cases) {
        Owner owner(c.order);
        auto gate = std::make_shared<test::Turnstile>();
        for (int i = 0; i < 4; ++i) {
            owner.lane.post(
                [i, gate](WorkLane::Run& run) {
                    if (i == 0) gate->wait();
                    run.deliver<Owner>(
                        [i, stopped = run.stopped()](Owner& o) { o.got.emplace_back(i, stopped); });
                },
                quint64(10 + i));
            if (i == 0) gate->waitForArrivals(1);
        }
        std::vector<quint64> taken;
        if (c.then == Then::TakeWaiting) taken = owner.lane.takeWaiting();
        if (c.then == Then::Stop) owner.lane.stop();
        EXPECT_TRUE(owner.lane.busy());
        gate->open();
        ASSERT_TRUE(owner.lane.waitIdle(20s));
        EXPECT_FALSE(owner.lane.busy());
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(taken, c.taken);
        EXPECT_EQ(owner.got, c.got) << int(c.order) << ' ' << int(c.then);
    }
}

// The owner goes while a job hangs: its destruction lets the job go, which finishes later on its
// own; neither its delivery nor one posted before the owner went ever arrives.
TEST_F(WorkLaneTest, AGoneOwnerGetsNothingAndAHungJobFinishesOnItsOwn) {
    auto gate = std::make_shared<test::Turnstile>();
    auto delivered = std::make_shared<std::atomic<int>>(0);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    auto letGo = std::make_shared<std::atomic<int>>(0);
    auto* owner = new Owner(WorkLane::Order::All, letGo);
    const auto job = [=](WorkLane::Run& run) {
        gate->wait();
        run.deliver<Owner>([delivered](Owner&) { ++*delivered; });
        *finished = true;
    };
    gate->pass();
    owner->lane.post(job);
    ASSERT_TRUE(owner->lane.waitIdle(20s)); // its delivery waits in the event queue
    owner->lane.post(job);
    gate->waitForArrivals(2);
    *finished = false;
    delete owner; // returns although the job hangs
    EXPECT_EQ(*letGo, 1);
    EXPECT_FALSE(*finished);
    gate->open();
    for (int i = 0; i < 2000 && *letGo > 0; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(*letGo, 0);
    EXPECT_TRUE(*finished);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(*delivered, 0);
}

} // namespace
} // namespace kps
