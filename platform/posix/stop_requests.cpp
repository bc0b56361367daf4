#include "platform/stop_requests.h"

namespace quillon::platform {

void WatchStopRequests(void (*)(int)) {}

}  // namespace quillon::platform
