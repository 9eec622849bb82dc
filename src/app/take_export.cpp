// The take leaves the program as a Standard MIDI File, only where the user asks for it.
#include "app/app_model.h"

#include "app/status_messages.h"
#include "model/midi_file.h"

#include <cerrno>
#include <filesystem>

namespace tunescrib {
namespace {

// What the user can do something about, in their words; anything rarer in the system's.
std::string failureReason(std::error_code error) {
    if (error.category() == std::generic_category()) {
        switch (error.value()) {
        case EACCES:
        case EPERM:
        case EROFS:
            return message::folderNotWritable;
        case ENOSPC:
        case EDQUOT:
            return message::diskFull;
        case ENOENT:
        case ENOTDIR:
            return message::noSuchFolder;
        case EISDIR:
            return message::folderInTheWay;
        default:
            break;
        }
    }
    return error.message();
}

} // namespace

std::vector<std::uint8_t> AppModel::takeAsMidiFile() const {
    return standardMidiFile(recordedNotes_, soundMode_);
}

bool AppModel::exportTake(const std::string& path, const FileWriter& write, bool announceSuccess) {
    // Like playback: a take still being recorded is not a take yet.
    if (isRecording_ || recordedNotes_.empty()) {
        assign(Property::notice, notice_, std::string(message::nothingRecorded));
        return false;
    }
    const std::string name = std::filesystem::path(path).filename().string();
    const std::error_code error = write(path, takeAsMidiFile());
    if (error) {
        assign(Property::notice, notice_,
               name + message::exportFailed + "（" + failureReason(error) + "）");
        return false;
    }
    if (announceSuccess) {
        assign(Property::notice, notice_, name + message::exported);
    }
    return true;
}

} // namespace tunescrib
