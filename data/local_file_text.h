// The message texts a failed local-file load or save is reported with (UTF-8, as the message
// box shows them), shared by the local-file operations and the menus that report them.
#pragma once

namespace local_file_text {
constexpr const char* kNoFile = "\nファイルがありません。\n";
constexpr const char* kDataError = "\nファイルデータ取得エラー発生\n";
constexpr const char* kSaveError = "\nファイルデータ保存エラー発生\n";
constexpr const char* kErrorCaption = "エラー";
}  // namespace local_file_text
