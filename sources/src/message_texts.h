#pragma once
// Texts the add commands show, in one place.
#include <QString>

#include "zentra/application_title.h"
#include "zentra/error.h"

namespace sources {

inline QString applicationTitle() { return QString::fromLatin1(zentra::kApplicationTitle); }

// A trapped error without a message of its own: its number, ":" and its description.
inline QString errorText(const zentra::Error& error) {
    return QString::number(error.number()) + ":" + QString::fromStdString(error.description());
}

}  // namespace sources
