#include "sim/request_executor.h"

namespace quillon::sim {

uint8_t ExecuteRequest(VirtualBoard& board, const wire::Request& request,
                       std::vector<uint8_t>& replyData) {
    replyData.clear();
    switch (request.kind) {
        case wire::Kind::kConnect:
            return board.Connect(request.parameter);
        case wire::Kind::kDisconnect:
            board.Disconnect();
            return 0;
        case wire::Kind::kWrite:
            return board.Write(request.header.data(), request.length, request.data.data());
        case wire::Kind::kRead: {
            replyData.resize(request.length);
            const uint8_t result =
                board.Read(request.header.data(), request.length, replyData.data());
            if (result == 0) {
                replyData.clear();
            }
            return result;
        }
    }
    return 0;
}

}  // namespace quillon::sim
