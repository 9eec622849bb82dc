#pragma once
// The fixed texts of the status line.

namespace tunescrib::message {

inline constexpr const char* idle = "入力待ち";
inline constexpr const char* audioStartFailed = "音声出力を開始できません";
inline constexpr const char* audioRestartFailed = "音声出力を再開できません";
inline constexpr const char* recordingStarted = "録音中 — そのまま弾いてください";
inline constexpr const char* recordingSaved = "録音を保存しました";
inline constexpr const char* takeCleared = "メロディを消去しました";
inline constexpr const char* playing = "再生中";
inline constexpr const char* playbackFinished = "再生完了";
inline constexpr const char* nothingRecorded = "まだ音が録音されていません";
inline constexpr const char* octaveChanged = "オクターブを変更しました";
inline constexpr const char* transpositionPrefix = "半音移動 ";
inline constexpr const char* pianoSound = "ピアノ音色";
inline constexpr const char* sineSound = "サイン波音色";
// These follow a note name such as "C4".
inline constexpr const char* waitingForKey = " の割り当て待ち";
inline constexpr const char* keyChanged = " のキーを変更しました";
inline constexpr const char* keysSwapped = " と別のキーを入れ替えました";
inline constexpr const char* captureCancelled = "割り当て変更をキャンセルしました";
inline constexpr const char* layoutReset = "標準のキー配置へ戻しました";

} // namespace tunescrib::message
