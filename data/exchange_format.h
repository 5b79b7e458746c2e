// The phonebook exchange-file format: file names, column headers, tags and block layout shared
// by the exchange-file readers and writers (data/exchange_files.h) and the tagged local files
// (data/tagged_files.h).
//
// Every text here is file data, so it is CP932 bytes (the headers are written as escaped bytes;
// the UTF-8 text is in the comment beside each). Line ends are spelled out where they are used.
#pragma once

#include <string_view>

#include "data/table_kinds.h"

// ---- results -----------------------------------------------------------------------------

constexpr int kExchangeDone = 0;
constexpr int kExchangeCannotOpen = 30;  // the file cannot be opened or created

// ---- file names ---------------------------------------------------------------------------

constexpr std::string_view kSysTanFileName = "sys-tan.txt";
constexpr std::string_view kSysTanfFileName = "sys-tanf.txt";
constexpr std::string_view kNaisenFileName = "naisen.txt";
constexpr std::string_view kUsertkbnFileName = "usertkbn.txt";
constexpr std::string_view kUsertkbnTmpFileName = "usertkbntmp.txt";
constexpr std::string_view kHkiseinoFileName = "hkiseino.txt";
constexpr std::string_view kHkiseinoTmpFileName = "hkiseinotmp.txt";

// Upload blocks. Speed dial: "sys-tan0000.txt" ... "sys-tan9500.txt" (or "sys-tanf"), 500 rows
// each. Restriction numbers: "hkiseino0000.txt" ... "hkiseino9000.txt", 1000 rows each.
// Extension directory: the five names below; a block ends after the rows counted in
// kNaisenBlockEnds (rows 1-51, 52-101, 102-151, 152-201, 202-317).
constexpr std::string_view kSysTanBlockPrefix = "sys-tan";
constexpr std::string_view kSysTanfBlockPrefix = "sys-tanf";
constexpr std::string_view kHkiseinoBlockPrefix = "hkiseino";
constexpr int kSpeedDialBlockRows = 500;
constexpr int kSpeedDialBlockCount = 20;
constexpr int kRestrictionBlockRows = 1000;
constexpr int kRestrictionBlockCount = 10;
constexpr std::string_view kNaisenBlockNames[] = {"naisen101.txt", "naisen151.txt",
                                                  "naisen241.txt", "naisen335.txt",
                                                  "naisen429.txt"};
constexpr int kNaisenBlockEnds[] = {51, 101, 151, 201};

// ---- the exchange-file body ---------------------------------------------------------------

constexpr int kUserInfoBytes = 192;     // the user-information line, CR LF included
constexpr int kRowBufferBytes = 5000;   // longest row a parser looks at
constexpr int kSpeedDialRows = 10000;
constexpr int kExtensionRowsMax = 385;
constexpr int kTemplateRowsMax = 1000;
constexpr int kTemplateFirstItem = 1;
constexpr int kTemplateLastItem = 999;

// Column headers, each followed by CR LF in a file.
// "短縮番号,電話番号,名前,ヨミガナ,用途,短縮G,外線G"
constexpr std::string_view kSpeedDial7Header =
    "\x92Z\x8Fk\x94\xD4\x8D\x86,\x93" "d\x98" "b\x94\xD4\x8D\x86,\x96\xBC\x91O,\x83\x88\x83~"
    "\x83K\x83i,\x97p\x93r,\x92Z\x8FkG,\x8AO\x90\xFCG";
// "短縮番号,電話番号,名前,ヨミガナ,用途,短縮G,外線G,表示モード,定型文1,定型文2"
constexpr std::string_view kSpeedDial10Header =
    "\x92Z\x8Fk\x94\xD4\x8D\x86,\x93" "d\x98" "b\x94\xD4\x8D\x86,\x96\xBC\x91O,\x83\x88\x83~"
    "\x83K\x83i,\x97p\x93r,\x92Z\x8FkG,\x8AO\x90\xFCG,\x95\x5C\x8E\xA6\x83\x82\x81[\x83h,"
    "\x92\xE8\x8C^\x95\xB6" "1,\x92\xE8\x8C^\x95\xB6" "2";
// "収容位置,内線番号,内線名称,ヨミガナ"
constexpr std::string_view kExtensionHeader =
    "\x8E\xFB\x97" "e\x88\xCA\x92u,\x93\xE0\x90\xFC\x94\xD4\x8D\x86,\x93\xE0\x90\xFC\x96\xBC"
    "\x8F\xCC,\x83\x88\x83~\x83K\x83i";
// "項番,付加情報定型文"
constexpr std::string_view kTemplateHeader =
    "\x8D\x80\x94\xD4,\x95t\x89\xC1\x8F\xEE\x95\xF1\x92\xE8\x8C^\x95\xB6";
// "項番,電話番号"
constexpr std::string_view kRestrictionHeader = "\x8D\x80\x94\xD4,\x93" "d\x98" "b\x94\xD4\x8D\x86";
// "項番,発信日付,発信時刻,呼出終了時刻,発信者内線番号,発信者名称,発信者種別,呼出先名称/内線番号,
//  応答種別,折り返し発信者名称/内線番号,応答者名称/内線番号,応答者種別,終話時刻,通話時間,
//  電話機グループ番号,理由コード"
constexpr std::string_view kInternalHistoryHeader =
    "\x8D\x80\x94\xD4,\x94\xAD\x90M\x93\xFA\x95t,\x94\xAD\x90M\x8E\x9E\x8D\x8F,\x8C\xC4\x8Fo"
    "\x8FI\x97\xB9\x8E\x9E\x8D\x8F,\x94\xAD\x90M\x8E\xD2\x93\xE0\x90\xFC\x94\xD4\x8D\x86,"
    "\x94\xAD\x90M\x8E\xD2\x96\xBC\x8F\xCC,\x94\xAD\x90M\x8E\xD2\x8E\xED\x95\xCA,\x8C\xC4\x8Fo"
    "\x90\xE6\x96\xBC\x8F\xCC/\x93\xE0\x90\xFC\x94\xD4\x8D\x86,\x89\x9E\x93\x9A\x8E\xED\x95\xCA,"
    "\x90\xDC\x82\xE8\x95\xD4\x82\xB5\x94\xAD\x90M\x8E\xD2\x96\xBC\x8F\xCC/\x93\xE0\x90\xFC\x94"
    "\xD4\x8D\x86,\x89\x9E\x93\x9A\x8E\xD2\x96\xBC\x8F\xCC/\x93\xE0\x90\xFC\x94\xD4\x8D\x86,"
    "\x89\x9E\x93\x9A\x8E\xD2\x8E\xED\x95\xCA,\x8FI\x98" "b\x8E\x9E\x8D\x8F,\x92\xCA\x98" "b\x8E"
    "\x9E\x8A\xD4,\x93" "d\x98" "b\x8B@\x83O\x83\x8B\x81[\x83v\x94\xD4\x8D\x86,\x97\x9D\x97R\x83R"
    "\x81[\x83h";
// "項番,着信日付,着信時刻,呼出終了時刻,発信者電話番号,発信者名称,応答種別,折り返し発信者名称/内線番号,
//  応答者名称/内線番号,終話時刻,通話時間,電話機グループ番号"
constexpr std::string_view kExternalHistoryHeader =
    "\x8D\x80\x94\xD4,\x92\x85\x90M\x93\xFA\x95t,\x92\x85\x90M\x8E\x9E\x8D\x8F,\x8C\xC4\x8Fo\x8FI"
    "\x97\xB9\x8E\x9E\x8D\x8F,\x94\xAD\x90M\x8E\xD2\x93" "d\x98" "b\x94\xD4\x8D\x86,\x94\xAD\x90M"
    "\x8E\xD2\x96\xBC\x8F\xCC,\x89\x9E\x93\x9A\x8E\xED\x95\xCA,\x90\xDC\x82\xE8\x95\xD4\x82\xB5"
    "\x94\xAD\x90M\x8E\xD2\x96\xBC\x8F\xCC/\x93\xE0\x90\xFC\x94\xD4\x8D\x86,\x89\x9E\x93\x9A\x8E"
    "\xD2\x96\xBC\x8F\xCC/\x93\xE0\x90\xFC\x94\xD4\x8D\x86,\x8FI\x98" "b\x8E\x9E\x8D\x8F,\x92\xCA"
    "\x98" "b\x8E\x9E\x8A\xD4,\x93" "d\x98" "b\x8B@\x83O\x83\x8B\x81[\x83v\x94\xD4\x8D\x86";

static_assert(kSpeedDial7Header.size() == 48);
static_assert(kSpeedDial10Header.size() == 75);
static_assert(kExtensionHeader.size() == 35);
static_assert(kTemplateHeader.size() == 19);
static_assert(kRestrictionHeader.size() == 13);
static_assert(kInternalHistoryHeader.size() == 208);
static_assert(kExternalHistoryHeader.size() == 155);

// ---- element names ------------------------------------------------------------------------

constexpr std::string_view kSysTanElement = "systan";
constexpr std::string_view kSysTanfElement = "systanf";
constexpr std::string_view kNaisenElement = "naisen";
constexpr std::string_view kTemplateElement = "m046";
constexpr std::string_view kRestrictionElement = "m018";
constexpr std::string_view kInternalHistoryElement = "naityaklog";
constexpr std::string_view kExternalHistoryElement = "gaityaklog";

// ---- tagged local files (.zud8 .zud3 .zud4 .zud9 .zud7) -----------------------------------
//
//   <?xml version="1.0" encoding="Shift_JIS"?> CR LF
//   <root> CR LF
//   <CHECK> CR LF
//   YYYYMMDD CR LF                  the save date
//   </CHECK> CR LF
//   <USER> CR LF
//   the 192-byte user-information line (its own CR LF)
//   </USER> CR LF
//   <element> CR LF
//   rows (the row ends differ per element)
//   </element> CR LF
//   </root>                          no line end

constexpr std::string_view kXmlDeclarationLine = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n";
constexpr std::string_view kRootOpen = "<root>";
constexpr std::string_view kRootClose = "</root>";
constexpr std::string_view kCheckOpen = "<CHECK>";
constexpr std::string_view kCheckClose = "</CHECK>";
constexpr std::string_view kUserOpen = "<USER>";
constexpr std::string_view kUserClose = "</USER>";

// Everything before the rows of a tagged "naisen" file: 44 + 8 + 9 + 10 + 10 + 8 + 192 + 9 + 10.
constexpr int kTaggedExtensionRowsOffset = 300;
// The header collection of a tagged load gathers lines until it holds more than this many bytes.
constexpr int kUserInfoCollectLimit = 190;
