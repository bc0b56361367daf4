#pragma once

#include <functional>
#include <utility>

#include "config/flash_database.h"
#include "target/connection_cycle.h"
#include "target/eflash_sizing.h"
#include "target/target_context.h"
#include "target/type_auto.h"
#include "target/type_page.h"

namespace quillon {

// What keeps the target linked and typed: the connection cycle over the automatic typing over
// the embedded flash's sizing, all on one context. Built together, each after what it uses;
// they hold references to each other, so the group never moves.
struct TargetDesks {
    TargetDesks(TargetContext targetContext, const FlashDatabase& database, TypePageLogic& typePage,
                std::function<void()> reloadLastImage)
        : context(std::move(targetContext)),
          sizing(context),
          typeAuto(context, database, typePage, sizing),
          cycle(context, sizing, typeAuto, std::move(reloadLastImage)) {}
    TargetDesks(const TargetDesks&) = delete;
    TargetDesks& operator=(const TargetDesks&) = delete;

    TargetContext context;
    EFlashSizing sizing;
    TypeAuto typeAuto;
    ConnectionCycle cycle;
};

}  // namespace quillon
