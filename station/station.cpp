#include "station/station.h"

#include "config/memory_settings_store.h"

namespace quillon {

Station::Station(OperatorPanel& panel, Clock& clock, ConnectionTimer& timer, StationOptions options)
    : panel_(panel),
      clock_(clock),
      timer_(timer),
      options_(std::move(options)),
      log_(panel),
      store_(std::make_unique<MemorySettingsStore>()) {}

Station::~Station() = default;

}  // namespace quillon
