#pragma once
// Creating automation components by ProgID at run time, as the program asks for them
// ("Redemption.RDOSession", "Outlook.Application"). On this platform both names resolve to the
// in-process components of mailstore/. ProgIDs compare without regard to case, as COM does.
//
// Tests replace a factory (for example one that fails, or hands out a double) with
// ComponentOverride, which restores the previous factory when it goes out of scope.
#include <functional>
#include <memory>
#include <string>

#include "mailstore/component.h"
#include "zentra/error.h"

namespace platform {

using Component = zentra::mailstore::Component;
using ComponentFactory = std::function<std::shared_ptr<Component>()>;

// The component for progId. Unknown ProgID, or a factory that yields nothing:
// zentra::Error 429 "ActiveX component can't create object". A factory's own error passes.
std::shared_ptr<Component> createComponent(const std::string& progId);

// createComponent, typed: the component must implement T, else error 13 "Type mismatch".
template <class T>
std::shared_ptr<T> createObject(const std::string& progId) {
    auto typed = std::dynamic_pointer_cast<T>(createComponent(progId));
    if (!typed) throw zentra::Error(13, "Type mismatch: " + progId + " does not provide the expected members");
    return typed;
}

// Installs a factory for progId (replacing any); an empty factory unregisters it.
void registerComponent(const std::string& progId, ComponentFactory factory);

class ComponentOverride {
public:
    ComponentOverride(std::string progId, ComponentFactory factory);
    ~ComponentOverride();
    ComponentOverride(const ComponentOverride&) = delete;
    ComponentOverride& operator=(const ComponentOverride&) = delete;

private:
    std::string progId_;
    ComponentFactory previous_;
};

}  // namespace platform
