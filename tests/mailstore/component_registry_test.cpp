// Creating the components by ProgID, and tests' replacement factories.
#include <gtest/gtest.h>

#include <cstdio>

#include "mailstore/mail_client.h"
#include "mailstore/profile.h"
#include "mailstore/rdo.h"
#include "mailstore/component_registry.h"

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
    ComponentRegistry registry;
    auto session = registry.createObject<Session>("Redemption.RDOSession");
    ASSERT_NE(session, nullptr);
    session->Logon();
    EXPECT_EQ(session->Stores()->Count(), static_cast<long>(registry.profile().stores().size()));
    auto app = registry.createObject<Application>("outlook.application");   // ProgIDs ignore case
    EXPECT_EQ(errorNumber([&] { app->ActiveExplorer(); }), kErrNoExplorer);
}

// What a session of one registry attaches, that registry's mail client shows - and no other's:
// two registries are two separate profiles, with nothing shared through the process.
TEST(ComponentRegistry, ASessionAndTheMailClientOfOneRegistryShareItsProfileOnly) {
    const std::string path = ::testing::TempDir() + "zentra_registry_profile.pst";
    std::remove(path.c_str());
    ComponentRegistry registry, other;
    auto session = registry.createObject<Session>("Redemption.RDOSession");
    session->Logon();
    session->Stores()->AddPSTStore(path, kStoreFormatDefault, "Shared Contacts");
    auto top = registry.createObject<Application>("Outlook.Application")->GetNamespace("MAPI")->Folders();
    ASSERT_EQ(top->Count(), 1);
    EXPECT_EQ(top->Item(1)->Name(), "Shared Contacts");
    EXPECT_EQ(other.createObject<Application>("Outlook.Application")->GetNamespace("MAPI")->Folders()->Count(), 0);
    EXPECT_FALSE(registry.profile().detachAll().has_value());
    std::remove(path.c_str());
}

TEST(ComponentRegistry, UnknownProgIdIsError429) {
    ComponentRegistry registry;
    std::string description;
    EXPECT_EQ(errorNumber([&] { registry.createComponent("Redemption.RDOSessio"); }, &description),
              kErrCannotCreateObject);
    EXPECT_EQ(description, "ActiveX component can't create object");
    // A component that exists but lacks the asked-for members.
    EXPECT_EQ(errorNumber([&] { registry.createObject<Session>("Outlook.Application"); }), 13);
}

TEST(ComponentRegistry, OverrideReplacesAFactoryForItsScopeOnly) {
    ComponentRegistry registry;
    {
        ComponentOverride failing(registry, "Redemption.RDOSession", []() -> std::shared_ptr<Component> {
            throw Error(kErrCannotCreateObject, "ActiveX component can't create object");
        });
        EXPECT_EQ(errorNumber([&] { registry.createComponent("Redemption.RDOSession"); }), kErrCannotCreateObject);
        {
            ComponentOverride empty(registry, "REDEMPTION.RDOSESSION", [] { return nullptr; });
            EXPECT_EQ(errorNumber([&] { registry.createComponent("Redemption.RDOSession"); }), kErrCannotCreateObject);
        }
        EXPECT_EQ(errorNumber([&] { registry.createComponent("Redemption.RDOSession"); }), kErrCannotCreateObject);
    }
    EXPECT_NE(registry.createObject<Session>("Redemption.RDOSession"), nullptr);

    registry.registerComponent("Zentra.Test", [] { return std::make_shared<Component>(); });
    EXPECT_NE(registry.createComponent("zentra.test"), nullptr);
    registry.registerComponent("Zentra.Test", nullptr);
    EXPECT_EQ(errorNumber([&] { registry.createComponent("Zentra.Test"); }), kErrCannotCreateObject);
}
