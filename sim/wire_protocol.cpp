#include "sim/wire_protocol.h"

#include <algorithm>
#include <cstring>

namespace quillon::sim::wire {

namespace {
void PutU32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}
uint32_t GetU32(const uint8_t* at) {
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}
}  // namespace

std::array<uint8_t, kRequestSize> EncodeRequestHead(Kind kind, const uint8_t* header,
                                                    uint32_t length, int32_t parameter) {
    std::array<uint8_t, kRequestSize> frame{};
    frame[0] = 'V';
    frame[1] = 'S';
    frame[2] = kVersion;
    frame[3] = static_cast<uint8_t>(kind);
    if (header != nullptr) {
        std::memcpy(frame.data() + 4, header, 9);
    }
    PutU32(frame.data() + 13, length);
    PutU32(frame.data() + 17, static_cast<uint32_t>(parameter));
    return frame;
}

std::array<uint8_t, kReplySize> EncodeReplyHead(Kind kind, uint8_t result, uint32_t length) {
    std::array<uint8_t, kReplySize> frame{};
    frame[0] = 'V';
    frame[1] = 'R';
    frame[2] = static_cast<uint8_t>(kind);
    frame[3] = result;
    PutU32(frame.data() + 4, length);
    return frame;
}

std::optional<ReplyHead> DecodeReplyHead(std::span<const uint8_t, kReplySize> bytes) {
    if (bytes[0] != 'V' || bytes[1] != 'R' || bytes[2] < 1 || bytes[2] > 4) {
        return std::nullopt;
    }
    const uint32_t length = GetU32(bytes.data() + 4);
    if (length > kMaxData) {
        return std::nullopt;
    }
    return ReplyHead{static_cast<Kind>(bytes[2]), bytes[3], length};
}

bool RequestDecoder::ParseHead() {
    if (head_[0] != 'V' || head_[1] != 'S') {
        error_ = "bad magic";
        return false;
    }
    if (head_[2] != kVersion) {
        error_ = "unsupported version " + std::to_string(head_[2]);
        return false;
    }
    if (head_[3] < 1 || head_[3] > 4) {
        error_ = "unknown request kind " + std::to_string(head_[3]);
        return false;
    }
    if (head_[21] != 0 || head_[22] != 0 || head_[23] != 0) {
        error_ = "reserved bytes not zero";
        return false;
    }
    request_ = Request{};
    request_.kind = static_cast<Kind>(head_[3]);
    std::copy_n(head_.begin() + 4, 9, request_.header.begin());
    request_.length = GetU32(head_.data() + 13);
    request_.parameter = static_cast<int32_t>(GetU32(head_.data() + 17));
    if (request_.length > kMaxData) {
        error_ = "length " + std::to_string(request_.length) + " above 65536";
        return false;
    }
    if (request_.kind == Kind::kWrite) {
        request_.data.resize(request_.length);
    }
    dataFill_ = 0;
    return true;
}

std::size_t RequestDecoder::Feed(std::span<const uint8_t> bytes) {
    std::size_t used = 0;
    while (used < bytes.size() && !complete_ && !Failed()) {
        if (headFill_ < kRequestSize) {
            const std::size_t take = std::min(kRequestSize - headFill_, bytes.size() - used);
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(used), take,
                        head_.begin() + static_cast<std::ptrdiff_t>(headFill_));
            headFill_ += take;
            used += take;
            if (headFill_ < kRequestSize) {
                break;
            }
            if (!ParseHead()) {
                break;
            }
            complete_ = request_.data.empty();
            continue;
        }
        const std::size_t take = std::min(request_.data.size() - dataFill_, bytes.size() - used);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(used), take,
                    request_.data.begin() + static_cast<std::ptrdiff_t>(dataFill_));
        dataFill_ += take;
        used += take;
        complete_ = dataFill_ == request_.data.size();
    }
    return used;
}

Request RequestDecoder::Next() {
    Request request = std::move(request_);
    request_ = Request{};
    complete_ = false;
    headFill_ = 0;
    dataFill_ = 0;
    return request;
}

}  // namespace quillon::sim::wire
