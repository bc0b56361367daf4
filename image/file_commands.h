#pragma once

#include <string>

#include "image/image_context.h"
#include "runtime/file_choice.h"
#include "runtime/step_result.h"

namespace quillon {

// The file dialogs' filters, caption|pattern pairs.
inline constexpr const char* kLoadFilter = "[*.bin]|*.bin|[*.rom]|*.rom|*.*|*.*";
inline constexpr const char* kSaveFilter = "[*.bin]|*.bin|[*.*]|*.*";
inline constexpr const char* kSaveProposedName = "KavoBIOS.bin";

// The open dialog Load shows: the load filter, opened in the last file's folder.
FileDialogRequest LoadDialogRequest(const SettingsStore& settings);
// The save dialog Save shows: the save filter and the proposed name.
FileDialogRequest SaveDialogRequest();

// Load (BitBtn_Load, the customer page's LoadFile): the file the operator chose is read
// into ImageBuffer, remembered as the last file and merged. Cancel (no file) changes nothing
// but the log line; a file that cannot be read is reported with the platform's message and
// changes nothing else. Each step returns what it came to and writes OperationResult from
// that (RecordStep): a cancel is Refused and leaves it as it was.
// Ok: read and merged. Failed: unreadable, or the merge failed.
StepResult LoadImage(ImageContext& context, const FileChoice& chosen);

// The line appended when the remembered file cannot be loaded again.
inline constexpr const char* kCantFindFileLine = "Can't Find The File , Please Lode File Again !!";

// Loads LastFilePath again and merges it (Auto Flash, the Ctrl+Alt+R hot key, the
// connection cycle for ROM-key chips). On any failure the remembered file is forgotten,
// kCantFindFileLine is appended and OperationResult is false.
// Refused (OperationResult as it was) when no file is remembered; Failed also when the
// merge could not place the file.
StepResult ReloadLastImage(ImageContext& context);

// The start-up reload: the same load and merge without its log lines and gauge.
//   Ok      - read and placed;
//   Failed  - read, but the merge failed (a boundary block could not be read, as before the
//             board is bound, or could not even be asked for, or the start lies beyond the
//             part): OperationResult is false, the file stays remembered for the next load;
//   Refused - the file could not be read, was rejected, or the merge met an error of its
//             own (a placement setting it cannot use): nothing is loaded, and the start-up
//             load forgets the file and tells the operator.
StepResult ReloadAtStartup(ImageContext& context, const std::string& path);

// Confirm: counts the bytes in which ReadBuffer differs from ImageBuffer over the used
// blocks. The caller clears the stop request first. Refused for empty or unequal buffers.
StepResult ConfirmImage(ImageContext& context);

// Save: writes ReadBuffer to the file the operator chose, after cutting or growing it to the
// size the read mode or the eFlash gives (bytes added are 0xFF; also when cancelled). The
// file is replaced atomically: a failed save leaves an existing file as it was and says why
// (Failed). Refused when cancelled or when there is nothing to save.
StepResult SaveReadBuffer(ImageContext& context, const FileChoice& chosen);

// The size Save gives ReadBuffer before the dialog opens.
std::size_t SaveSize(const ImageContext& context);

}  // namespace quillon
