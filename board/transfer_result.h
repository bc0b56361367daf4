#pragma once

#include <cstdint>
#include <ostream>

namespace quillon {

// What one transfer (or a board command built on one) returned: the driver library's result
// byte, or 0 when the link refused the transfer. The library reports success as 1; some
// callers accept any non-zero byte as an answer. Both tests have a name here so that no
// caller compares raw bytes.
class TransferResult {
public:
    constexpr TransferResult() = default;
    // Implicit so that a command can return a library byte or a refusal (0) directly.
    constexpr TransferResult(int raw) : raw_(static_cast<uint8_t>(raw)) {}  // NOLINT

    static constexpr TransferResult Refused() { return TransferResult(0); }
    static constexpr TransferResult Success() { return TransferResult(1); }

    // The library's success byte: exactly 1.
    constexpr bool Succeeded() const { return raw_ == 1; }
    // Any non-zero byte: what most flash loops accept as success.
    constexpr bool Answered() const { return raw_ != 0; }
    constexpr int Raw() const { return raw_; }

    friend constexpr bool operator==(TransferResult a, TransferResult b) = default;
    friend constexpr bool operator==(TransferResult a, int b) { return a.raw_ == b; }
    friend std::ostream& operator<<(std::ostream& out, TransferResult r) {
        return out << "TransferResult(" << r.Raw() << ")";
    }

private:
    uint8_t raw_ = 0;
};

}  // namespace quillon
