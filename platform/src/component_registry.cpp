#include "platform/component_registry.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "mailstore/factories.h"

namespace platform {
namespace {

std::string keyOf(std::string progId) {
    std::transform(progId.begin(), progId.end(), progId.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return progId;
}

struct Registry {
    std::mutex mutex;
    std::map<std::string, ComponentFactory> factories;

    Registry() {
        factories[keyOf("Redemption.RDOSession")] = [] { return zentra::mailstore::createSession(); };
        factories[keyOf("Outlook.Application")] = [] { return zentra::mailstore::createApplication(); };
    }
};

Registry& registry() {
    static Registry instance;
    return instance;
}

ComponentFactory factoryFor(const std::string& progId) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.factories.find(keyOf(progId));
    return it == r.factories.end() ? ComponentFactory{} : it->second;
}

// The runtime's own text for this error, which the program's message boxes show as it is.
zentra::Error cannotCreate(const std::string&) {
    return zentra::Error(zentra::kErrCannotCreateObject, "ActiveX component can't create object");
}

}  // namespace

std::shared_ptr<Component> createComponent(const std::string& progId) {
    ComponentFactory factory = factoryFor(progId);
    if (!factory) throw cannotCreate(progId);
    std::shared_ptr<Component> component = factory();
    if (!component) throw cannotCreate(progId);
    return component;
}

void registerComponent(const std::string& progId, ComponentFactory factory) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (factory)
        r.factories[keyOf(progId)] = std::move(factory);
    else
        r.factories.erase(keyOf(progId));
}

ComponentOverride::ComponentOverride(std::string progId, ComponentFactory factory)
    : progId_(std::move(progId)), previous_(factoryFor(progId_)) {
    registerComponent(progId_, std::move(factory));
}

ComponentOverride::~ComponentOverride() { registerComponent(progId_, std::move(previous_)); }

}  // namespace platform
