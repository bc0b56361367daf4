#pragma once

#include <QStringList>

namespace quillon {

// Turns the "[*.bin]|*.bin|[*.*]|*.*" form (caption|pattern pairs, patterns separated by
// ";") into Qt name filters such as "[*.bin] (*.bin)". "*.*" means every file, as the
// operator expects, so it becomes "*". A caption without a pattern keeps "*".
QStringList ToQtNameFilters(const QString& filter);

}  // namespace quillon
