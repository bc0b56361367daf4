#include "runtime/message_log.h"

#include <array>
#include <string_view>

namespace quillon {

namespace {
constexpr std::array<std::string_view, 10> kCustomerKeys = {"The Last File Path",
                                                            "Load File to Buffer",
                                                            "Open from",
                                                            "UnProtect Flash",
                                                            "Erase Flash",
                                                            "Check Flash be cleared",
                                                            "Write Flash from buffer",
                                                            "Verify Flash with buffer",
                                                            "Auto Flash",
                                                            "Total Time"};

bool Contains(const std::string& text, std::string_view key) {
    return text.find(key) != std::string::npos;
}
}  // namespace

void MessageLog::Append(const std::string& line) {
    lines_.push_back(line);
    panel_.LogAppended(LogPane::Main, line);
    Mirror(line);
}

void MessageLog::ReplaceLast(const std::string& line) {
    if (lines_.empty()) {
        Append(line);
        return;
    }
    lines_.back() = line;
    panel_.LogLastReplaced(LogPane::Main, line);
    Mirror(line);
}

void MessageLog::ReplaceFromEnd(std::size_t fromEnd, const std::string& line) {
    if (fromEnd >= lines_.size()) {
        return;
    }
    lines_[lines_.size() - 1 - fromEnd] = line;
    panel_.LogLineReplaced(LogPane::Main, fromEnd, line);
}

const std::string& MessageLog::LastLine() const {
    static const std::string empty;
    return lines_.empty() ? empty : lines_.back();
}

bool MessageLog::IsRelevantForCustomer(const std::string& line) {
    for (auto key : kCustomerKeys) {
        if (Contains(line, key)) {
            return true;
        }
    }
    return false;
}

void MessageLog::Mirror(const std::string& last) {
    if (!IsRelevantForCustomer(last)) {
        return;
    }
    const bool outcome =
        Contains(last, "OK") || Contains(last, "Cancel") || Contains(last, "Failure");
    if (outcome && !customerLines_.empty()) {
        customerLines_.back() = last;
        panel_.LogLastReplaced(LogPane::Customer, last);
    } else {
        customerLines_.push_back(last);
        panel_.LogAppended(LogPane::Customer, last);
    }
}

}  // namespace quillon
