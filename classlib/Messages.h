// The class library's Japanese message table, and Format for its "%s" slots.
// Literals are Shift-JIS in the binary (-fexec-charset=CP932).
#pragma once

#include <string>

namespace Messages {
inline constexpr const char* SReadError = "ストリームからの読み込みエラー";
inline constexpr const char* SWriteError = "ストリームへの書き込みエラー";
inline constexpr const char* SFCreateError = "ファイル %s を作成できません";
inline constexpr const char* SFOpenError = "ファイル %s を開けません";
inline constexpr const char* SResNotFound = "%s リソースが見つかりません";
inline constexpr const char* SOutOfMemory = "メモリが不足しています";
inline constexpr const char* SInvalidPackedData = "圧縮データの形式が不正です";
inline constexpr const char* SCannotCreateDir = "ディレクトリを作成できません";
inline constexpr const char* SConfirmCreateDir =
    "指定されたディレクトリが存在しません。作成しますか？";
inline constexpr const char* SSelectDirCaption = "ディレクトリの選択";
inline constexpr const char* SRegCreateFailed = "キー %s の作成に失敗しました";
inline constexpr const char* SRegGetDataFailed = "'%s' の取得に失敗しました";
inline constexpr const char* SRegSetDataFailed = "'%s' の設定に失敗しました";
inline constexpr const char* SInvalidRegType = "'%s' のデータ型が不正です";
} // namespace Messages

// Replaces the first "%s" of Fmt with Arg. The formats come from the table above, whose only
// directive is %s; Arg is inserted verbatim, so a "%" inside a path is never interpreted.
std::string Format(const std::string& Fmt, const std::string& Arg);
