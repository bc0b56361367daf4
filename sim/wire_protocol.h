#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// How the driver library and vessa-sim talk over their Unix socket. Every driver call is one
// request frame and one reply frame, all integers little-endian:
//   request: "VS", version 1, kind, 9 header bytes, length (u32), parameter (i32), 3 zero
//            bytes, then `length` data bytes for a write
//   reply:   "VR", kind, result, length (u32), then `length` data bytes (a read's reply)
// The daemon closes a connection whose bytes do not form a request.
namespace quillon::sim::wire {

constexpr uint8_t kVersion = 1;
constexpr std::size_t kRequestSize = 24;
constexpr std::size_t kReplySize = 8;
constexpr uint32_t kMaxData = 65536;

enum class Kind : uint8_t { kConnect = 1, kDisconnect = 2, kWrite = 3, kRead = 4 };

struct Request {
    Kind kind = Kind::kConnect;
    std::array<uint8_t, 9> header{};
    uint32_t length = 0;
    int32_t parameter = 0;
    std::vector<uint8_t> data;  // a write's data block
};

// The fixed part of a request frame; a write's data follows it.
std::array<uint8_t, kRequestSize> EncodeRequestHead(Kind kind, const uint8_t* header,
                                                    uint32_t length, int32_t parameter);
std::array<uint8_t, kReplySize> EncodeReplyHead(Kind kind, uint8_t result, uint32_t length);

struct ReplyHead {
    Kind kind;
    uint8_t result;
    uint32_t length;
};
std::optional<ReplyHead> DecodeReplyHead(std::span<const uint8_t, kReplySize> bytes);

// Assembles requests from a byte stream that arrives in arbitrary pieces.
class RequestDecoder {
public:
    // Takes bytes; returns how many were used. Stops after a complete request (take it with
    // Next) or at the first malformed byte (Failed() is then true and stays true).
    std::size_t Feed(std::span<const uint8_t> bytes);
    bool HasRequest() const { return complete_; }
    Request Next();
    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }

private:
    bool ParseHead();

    std::array<uint8_t, kRequestSize> head_{};
    std::size_t headFill_ = 0;
    Request request_;
    std::size_t dataFill_ = 0;
    bool complete_ = false;
    std::string error_;
};

}  // namespace quillon::sim::wire
