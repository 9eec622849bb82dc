#pragma once
// The fixed texts of the status line.

#include "model/sound_mode.h"

namespace tunescrib::message {

inline constexpr const char* idle = "入力待ち";
inline constexpr const char* audioStartFailed = "音声出力を開始できません";
inline constexpr const char* audioRestartFailed = "音声出力を再開できません";
inline constexpr const char* recordingStarted = "録音中 — そのまま弾いてください";
inline constexpr const char* recordingSaved = "録音を保存しました";
inline constexpr const char* takeCleared = "メロディを消去しました";
// Instead of takeCleared when a take was cleared that undo can bring back.
inline constexpr const char* takeClearedUndoable = "メロディを消去しました — Ctrl+Z で元に戻せます";
inline constexpr const char* takeRestored = "消去したメロディを戻しました";
inline constexpr const char* playing = "再生中";
inline constexpr const char* playbackFinished = "再生完了";
inline constexpr const char* nothingRecorded = "まだ音が録音されていません";
inline constexpr const char* octaveChanged = "オクターブを変更しました";
inline constexpr const char* transpositionPrefix = "半音移動 ";
// A switch without a default: a new timbre must say its own notice.
constexpr const char* soundChanged(SoundMode mode) {
    switch (mode) {
    case SoundMode::piano:
        return "ピアノ音色";
    case SoundMode::sine:
        return "サイン波音色";
    }
    return "";
}
// These follow a note name such as "C4".
inline constexpr const char* waitingForKey = " の割り当て待ち";
inline constexpr const char* keyChanged = " のキーを変更しました";
inline constexpr const char* keysSwapped = " と別のキーを入れ替えました";
inline constexpr const char* captureCancelled = "割り当て変更をキャンセルしました";
inline constexpr const char* layoutReset = "標準のキー配置へ戻しました";
// A setting changed but could not be stored; the system's reason follows in brackets.
inline constexpr const char* settingsNotSaved = "設定を保存できません";
// These follow a file name; a failure then gives its reason in brackets.
inline constexpr const char* exported = " を書き出しました";
inline constexpr const char* exportFailed = " を書き出せませんでした";
inline constexpr const char* folderNotWritable = "このフォルダには書き込めません";
inline constexpr const char* diskFull = "ディスクの空きが足りません";
inline constexpr const char* noSuchFolder = "フォルダが見つかりません";
inline constexpr const char* folderInTheWay = "同じ名前のフォルダがあります";

} // namespace tunescrib::message
