#pragma once

#include <unistd.h>

#include "platform/unique_handle.h"

namespace quillon::platform {

struct DescriptorTraits {
    static constexpr int Invalid() { return -1; }
    static void Close(int fd) { ::close(fd); }
};

// One open file descriptor, closed when its owner ends.
using FileDescriptor = UniqueHandle<DescriptorTraits>;

}  // namespace quillon::platform
