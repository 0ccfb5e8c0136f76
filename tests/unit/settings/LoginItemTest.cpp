#include "ClickController.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

using namespace tavrin;
using tavrin::testing::FakePlatform;

namespace {

using Calls = std::vector<std::string>;

// A service whose register and unregister can fail separately, and whose reported status can
// be fixed regardless of what was asked.
struct LoginService : FakePlatform {
    bool registerFails = false;
    bool unregisterFails = false;
    std::optional<bool> reportedStatus;

    bool loginItemEnabled() override { return reportedStatus.value_or(loginItemRegistered); }
    bool registerLoginItem() override {
        loginItemCallsFail = registerFails;
        return FakePlatform::registerLoginItem();
    }
    bool unregisterLoginItem() override {
        loginItemCallsFail = unregisterFails;
        return FakePlatform::unregisterLoginItem();
    }
};

} // namespace

TEST(LoginItemChain, RefusedRegistrationTurnsTheSwitchOffAndObserversSeeIt) {
    LoginService service;
    service.registerFails = true;
    ClickController controller(service);
    std::vector<bool> seen;
    controller.addObserver([&] { seen.push_back(controller.launchAtLogin()); });

    controller.setLaunchAtLogin(true);
    EXPECT_FALSE(controller.launchAtLogin());
    EXPECT_EQ(service.loginItemCalls, (Calls{"register", "unregister"}));
    // What the user asked for, then the status read back.
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

TEST(LoginItemChain, RefusedRemovalTurnsTheSwitchBackOnWithOneRegistration) {
    LoginService service;
    service.loginItemRegistered = true;
    service.unregisterFails = true;
    ClickController controller(service);
    ASSERT_TRUE(controller.launchAtLogin());

    controller.setLaunchAtLogin(false);
    EXPECT_TRUE(controller.launchAtLogin());
    EXPECT_EQ(service.loginItemCalls, (Calls{"unregister", "register"}));
    EXPECT_TRUE(service.loginItemRegistered);
}

TEST(LoginItemChain, AFailureWhoseStatusMatchesTheRequestCallsNothingMore) {
    LoginService service;
    service.registerFails = true;
    ClickController controller(service);
    service.reportedStatus = true;

    controller.setLaunchAtLogin(true);
    EXPECT_TRUE(controller.launchAtLogin());
    EXPECT_EQ(service.loginItemCalls, (Calls{"register"}));
}

TEST(LoginItemChain, RegisteredButNotYetApprovedStaysOnUntilTheNextStart) {
    LoginService service;
    service.reportedStatus = false;
    {
        ClickController controller(service);
        controller.setLaunchAtLogin(true);
        EXPECT_TRUE(controller.launchAtLogin()) << "a success does not read the status again";
        EXPECT_EQ(service.loginItemCalls, (Calls{"register"}));
    }
    ClickController restarted(service);
    EXPECT_FALSE(restarted.launchAtLogin());
}
