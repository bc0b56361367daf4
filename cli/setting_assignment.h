#pragma once

#include <optional>
#include <string>

#include "config/settings_store.h"

namespace quillon::cli {

// What `set NAME=VALUE` comes to before anything is stored: the typed value, or why not.
struct SettingAssignment {
    std::optional<SettingValue> value;  // set: store this (name spelled as the program knows it)
    int status = 0;                     // refused: the exit status (usage or settings error)
    std::string problem;                // refused: the message
};

// Checks an assignment against the settings the program knows: an unknown name is refused
// naming the known ones close to it; a value is read by the setting's type (`storedType`
// when the store holds the value under another type, else the known type) and refused
// outside the setting's range, or for AssignedAddress when the Setup page would refuse it.
SettingAssignment CheckSettingAssignment(const std::string& assignment,
                                         std::optional<SettingType> storedType);

}  // namespace quillon::cli
