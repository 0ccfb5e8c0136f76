#include "ClickController.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

using namespace tavrin;
using tavrin::testing::FakePlatform;
using Calls = std::vector<std::string>;

TEST(LoginItemChain, AFailureSettlesTheSwitchToTheStatusReadBack) {
    FakePlatform service;
    service.loginItemCallsFail = true;
    ClickController controller(service);
    controller.setLaunchAtLogin(true);
    EXPECT_EQ(service.loginItemCalls, (Calls{"register", "unregister"}));
    EXPECT_FALSE(controller.launchAtLogin());

    service.loginItemCalls.clear();
    service.loginItemRegistered = true; // registered after all, though the call failed
    controller.setLaunchAtLogin(true);
    EXPECT_EQ(service.loginItemCalls, (Calls{"register"}));
    EXPECT_TRUE(controller.launchAtLogin());
}

TEST(LoginItemChain, ASuccessIsNotReadBack) {
    struct AwaitingApproval : FakePlatform {
        bool loginItemEnabled() override { return false; }
    } service;
    ClickController controller(service);
    controller.setLaunchAtLogin(true);
    EXPECT_EQ(service.loginItemCalls, (Calls{"register"}));
    EXPECT_TRUE(controller.launchAtLogin()) << "stays on until the next start reads the status";
}
