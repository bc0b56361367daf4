#pragma once

#include <optional>
#include <string>

namespace quillon {

// The "Editor" dialog (TOKBottomDlg) as the pin rules use it. The window implements it;
// tests script it. Every call is modal and returns nothing when the operator cancels.
class PinEditor {
public:
    virtual ~PinEditor() = default;
    // Pin-select panel for one grid column: the chosen pin label ("Pin07").
    virtual std::optional<std::string> EditPin(const std::string& signal,
                                               const std::string& pinLabel) = 0;
    // Name panel: the name typed for a new pin set.
    virtual std::optional<std::string> AskSetName() = 0;
};

}  // namespace quillon
