// Creating the components by ProgID, and tests' replacement factories.
#include <gtest/gtest.h>

#include "mailstore/mail_client.h"
#include "mailstore/profile.h"
#include "mailstore/rdo.h"
#include "platform/component_registry.h"

using namespace zentra;
using namespace zentra::mailstore;

namespace {

long errorNumber(const std::function<void()>& f, std::string* description = nullptr) {
    try {
        f();
    } catch (const Error& e) {
        if (description) *description = e.description();
        return e.number();
    }
    ADD_FAILURE() << "no error thrown";
    return 0;
}

}  // namespace

TEST(ComponentRegistry, BothProgIdsResolveToTheInProcessComponents) {
    auto session = platform::createObject<Session>("Redemption.RDOSession");
    ASSERT_NE(session, nullptr);
    session->Logon();
    EXPECT_EQ(session->Stores()->Count(), static_cast<long>(Profile::instance().stores().size()));
    auto app = platform::createObject<Application>("outlook.application");   // ProgIDs ignore case
    EXPECT_EQ(errorNumber([&] { app->ActiveExplorer(); }), kErrNoExplorer);
}

TEST(ComponentRegistry, UnknownProgIdIsError429) {
    std::string description;
    EXPECT_EQ(errorNumber([] { platform::createComponent("Redemption.RDOSessio"); }, &description),
              kErrCannotCreateObject);
    EXPECT_EQ(description, "ActiveX component can't create object");
    // A component that exists but lacks the asked-for members.
    EXPECT_EQ(errorNumber([] { platform::createObject<Session>("Outlook.Application"); }), 13);
}

TEST(ComponentRegistry, OverrideReplacesAFactoryForItsScopeOnly) {
    {
        platform::ComponentOverride failing("Redemption.RDOSession", []() -> std::shared_ptr<platform::Component> {
            throw Error(kErrCannotCreateObject, "ActiveX component can't create object");
        });
        EXPECT_EQ(errorNumber([] { platform::createComponent("Redemption.RDOSession"); }), kErrCannotCreateObject);
        {
            platform::ComponentOverride empty("REDEMPTION.RDOSESSION", [] { return nullptr; });
            EXPECT_EQ(errorNumber([] { platform::createComponent("Redemption.RDOSession"); }), kErrCannotCreateObject);
        }
        EXPECT_EQ(errorNumber([] { platform::createComponent("Redemption.RDOSession"); }), kErrCannotCreateObject);
    }
    EXPECT_NE(platform::createObject<Session>("Redemption.RDOSession"), nullptr);

    platform::registerComponent("Zentra.Test", [] { return std::make_shared<platform::Component>(); });
    EXPECT_NE(platform::createComponent("zentra.test"), nullptr);
    platform::registerComponent("Zentra.Test", nullptr);
    EXPECT_EQ(errorNumber([] { platform::createComponent("Zentra.Test"); }), kErrCannotCreateObject);
}
