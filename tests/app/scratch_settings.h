#pragma once

#include <QFileInfo>
#include <QString>

#include <string>

namespace quillon::testing {

// Where a window under test keeps its settings: a file in the test's own folder, or on
// Windows, where the settings live in the registry, a key of its own named after that folder.
inline std::string ScratchSettings(const QString& folder) {
#ifdef _WIN32
    return "SOFTWARE\\Kavo\\QuillonTests\\" + QFileInfo(folder).fileName().toStdString();
#else
    return (folder + "/settings.sqlite").toStdString();
#endif
}

}  // namespace quillon::testing
