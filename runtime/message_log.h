#pragma once

#include <string>
#include <vector>

#include "runtime/operator_panel.h"

namespace quillon {

// The main message log (never trimmed) and its filtered copy on the customer page.
class MessageLog {
public:
    explicit MessageLog(OperatorPanel& panel) : panel_(panel) {}

    void Append(const std::string& line);
    // Replaces the last line; on an empty log the line is appended.
    void ReplaceLast(const std::string& line);
    // Replaces the line `fromEnd` lines above the last (0 = the last line); a position
    // above the first line changes nothing. The customer copy is not touched.
    void ReplaceFromEnd(std::size_t fromEnd, const std::string& line);

    const std::vector<std::string>& Lines() const { return lines_; }
    const std::vector<std::string>& CustomerLines() const { return customerLines_; }
    const std::string& LastLine() const;

    // Relevance rule of the customer-page copy: plain substring tests.
    static bool IsRelevantForCustomer(const std::string& line);

private:
    void Mirror(const std::string& last);

    OperatorPanel& panel_;
    std::vector<std::string> lines_;
    std::vector<std::string> customerLines_;
};

}  // namespace quillon
