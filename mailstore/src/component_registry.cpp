#include "mailstore/component_registry.h"

#include <algorithm>
#include <cctype>

#include "mailstore/factories.h"

namespace zentra::mailstore {
namespace {

std::string keyOf(std::string progId) {
    std::transform(progId.begin(), progId.end(), progId.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return progId;
}

// The runtime's own text for this error, which the program's message boxes show as it is.
zentra::Error cannotCreate() { return zentra::Error(zentra::kErrCannotCreateObject, "ActiveX component can't create object"); }

}  // namespace

ComponentRegistry::ComponentRegistry(SessionOptions options) {
    std::weak_ptr<Profile> profile = profile_;
    factories_[keyOf("Redemption.RDOSession")] = [profile, options] {
        return createSession(profile.lock(), options);
    };
    factories_[keyOf("Outlook.Application")] = [profile] { return createApplication(profile.lock()); };
}

ComponentFactory ComponentRegistry::factoryFor(const std::string& progId) const {
    std::lock_guard lock(mutex_);
    auto it = factories_.find(keyOf(progId));
    return it == factories_.end() ? ComponentFactory{} : it->second;
}

std::shared_ptr<Component> ComponentRegistry::createComponent(const std::string& progId) {
    ComponentFactory factory = factoryFor(progId);
    if (!factory) throw cannotCreate();
    std::shared_ptr<Component> component = factory();
    if (!component) throw cannotCreate();
    return component;
}

void ComponentRegistry::registerComponent(const std::string& progId, ComponentFactory factory) {
    std::lock_guard lock(mutex_);
    if (factory)
        factories_[keyOf(progId)] = std::move(factory);
    else
        factories_.erase(keyOf(progId));
}

ComponentOverride::ComponentOverride(ComponentRegistry& registry, std::string progId, ComponentFactory factory)
    : registry_(registry), progId_(std::move(progId)), previous_(registry.factoryFor(progId_)) {
    registry_.registerComponent(progId_, std::move(factory));
}

ComponentOverride::~ComponentOverride() { registry_.registerComponent(progId_, std::move(previous_)); }

}  // namespace zentra::mailstore
