#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <memory>

using namespace velmora;

namespace {

TEST(NotificationCenterTest, FiltersByNameAndSender)
{
    NotificationCenter center;
    int a = 0, b = 0;
    int senderA, senderB;
    std::vector<std::string> seen;
    auto any = center.addObserver("Moved", nullptr, [&](const Notification& n) { seen.push_back(n.userInfo.at("k").description()); });
    auto onlyA = center.addObserver("Moved", &senderA, [&](const Notification&) { ++a; });
    auto onlyB = center.addObserver("Moved", &senderB, [&](const Notification&) { ++b; });

    center.post("Moved", &senderA, {{"k", "1"}});
    center.post("Other", &senderA);
    center.post("Moved", nullptr, {{"k", "2"}});
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "2"}));
}

TEST(NotificationCenterTest, RegistrationsChangingDuringAPost)
{
    NotificationCenter center;
    std::vector<std::string> calls;
    NotificationObservation second;
    NotificationObservation added;
    int addedOnce = 0;
    auto first = center.addObserver("N", nullptr, [&](const Notification&) {
        calls.push_back("first");
        second.reset(); // removed before its turn: not called
        if (!addedOnce++)
            added = center.addObserver("N", nullptr, [&](const Notification&) { calls.push_back("added"); });
    });
    second = center.addObserver("N", nullptr, [&](const Notification&) { calls.push_back("second"); });

    center.post("N");
    EXPECT_EQ(calls, (std::vector<std::string>{"first"})) << "added during a post must wait for the next";
    EXPECT_EQ(center.observerCount(), 2u);

    calls.clear();
    center.post("N");
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "added"}));
}

TEST(NotificationCenterTest, ObserverRemovingItselfAndOutlivingTheCentre)
{
    auto center = std::make_unique<NotificationCenter>();
    int calls = 0;
    NotificationObservation self;
    self = center->addObserver("N", nullptr, [&](const Notification&) {
        ++calls;
        self.reset(); // the running handler's own registration
    });
    center->post("N");
    center->post("N");
    EXPECT_EQ(calls, 1);

    auto late = center->addObserver("N", nullptr, [](const Notification&) { });
    center.reset();
    late.reset(); // the centre is gone: nothing to remove, nothing to crash
}

} // namespace
