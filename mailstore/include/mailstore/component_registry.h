#pragma once
// Creating automation components by ProgID at run time, as the program asks for them
// ("Redemption.RDOSession", "Outlook.Application"). Both names resolve to the in-process
// components of this library, which share the registry's one mail profile, so a store a session
// attaches shows in the mail client's namespace. ProgIDs compare without regard to case, as
// COM does.
//
// The window and the command-line importer each own a registry and hand it to what creates
// components; tests replace a factory for a scope with ComponentOverride.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "mailstore/component.h"
#include "mailstore/profile.h"
#include "mailstore/session_options.h"
#include "zentra/error.h"

namespace zentra::mailstore {

using ComponentFactory = std::function<std::shared_ptr<Component>()>;

class ComponentRegistry {
public:
    // The two in-process components; sessions get `options`.
    explicit ComponentRegistry(SessionOptions options = {});

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
    ComponentFactory factoryFor(const std::string& progId) const;

    // The stores attached through this registry's components.
    Profile& profile() { return *profile_; }

private:
    std::shared_ptr<Profile> profile_ = std::make_shared<Profile>();
    mutable std::mutex mutex_;
    std::map<std::string, ComponentFactory> factories_;
};

// Replaces a factory of a registry while it lives, then restores the previous one.
class ComponentOverride {
public:
    ComponentOverride(ComponentRegistry& registry, std::string progId, ComponentFactory factory);
    ~ComponentOverride();
    ComponentOverride(const ComponentOverride&) = delete;
    ComponentOverride& operator=(const ComponentOverride&) = delete;

private:
    ComponentRegistry& registry_;
    std::string progId_;
    ComponentFactory previous_;
};

}  // namespace zentra::mailstore
