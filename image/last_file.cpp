#include "image/last_file.h"
#include "config/setting_names.h"

#include <filesystem>

namespace quillon {

void RememberLastFile(ImageContext& context, const std::string& path) {
    context.settings.WriteText(setting::kLastFilePath, path);
    context.settings.WriteText(setting::kLastFileName,
                               std::filesystem::path(path).filename().string());
    context.pathBox.Show(context.settings.ReadText(setting::kLastFileName),
                         context.settings.ReadText(setting::kLastFilePath));
}

void ForgetLastFile(ImageContext& context) {
    context.settings.WriteText(setting::kLastFilePath, "");
    context.settings.WriteText(setting::kLastFileName, "");
    context.pathBox.Clear();
}

void DropImage(ImageState& state) {
    state.imageBuffer.clear();
    state.imageFileCrc32.reset();
    state.imageFilePath.clear();
    state.usedBlockCount = 0;
    state.besideFileUnread = false;
}

}  // namespace quillon
