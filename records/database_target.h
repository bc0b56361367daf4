#pragma once

#include <string>

#include "records/record_target.h"

namespace quillon {

// The target a PostgreSQL URI names, checked by the database client's own parser; a build
// without the client refuses every one. Throws RecordTargetError with the reason.
RecordTarget DatabaseTarget(const std::string& uri);

}  // namespace quillon
