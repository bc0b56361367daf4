#pragma once

#include <QIcon>

namespace quillon {

// The program's icon: a chip with its pins, drawn so no image file has to travel with it.
QIcon ProgramIcon();

}  // namespace quillon
