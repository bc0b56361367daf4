#include "image/last_file.h"

#include <filesystem>

namespace quillon {

void RememberLastFile(ImageContext& context, const std::string& path) {
    context.settings.WriteText("LastFilePath", path);
    context.settings.WriteText("LastFileName", std::filesystem::path(path).filename().string());
    context.pathBox.Show(context.settings.ReadText("LastFileName"),
                         context.settings.ReadText("LastFilePath"));
}

void ForgetLastFile(ImageContext& context) {
    context.settings.WriteText("LastFilePath", "");
    context.settings.WriteText("LastFileName", "");
    context.pathBox.Clear();
}

void DropImage(ImageState& state) {
    state.imageBuffer.clear();
    state.usedBlockCount = 0;
    state.besideFileUnread = false;
}

}  // namespace quillon
