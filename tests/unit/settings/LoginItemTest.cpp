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

TEST(LoginItemChain, TheSwitchSettlesToTheStatusOnlyAfterAFailure) {
    struct Case {
        bool registered, registerFails, unregisterFails;
        std::optional<bool> reportedStatus;
        Calls calls;
        bool settled;
    };
    const std::vector<Case> cases{
        // Refused: the switch goes back off and the service is told so.
        {false, true, false, std::nullopt, {"register", "unregister"}, false},
        // Refused, but the status reads as requested: nothing more.
        {false, true, false, true, {"register"}, true},
        // Registered but not yet approved: a success is not read back.
        {false, false, false, false, {"register"}, true},
    };
    for (const Case& c : cases) {
        LoginService service;
        service.loginItemRegistered = c.registered;
        service.registerFails = c.registerFails;
        service.unregisterFails = c.unregisterFails;
        ClickController controller(service);
        service.reportedStatus = c.reportedStatus;

        controller.setLaunchAtLogin(!c.registered);
        EXPECT_EQ(service.loginItemCalls, c.calls);
        EXPECT_EQ(controller.launchAtLogin(), c.settled);
    }
}
