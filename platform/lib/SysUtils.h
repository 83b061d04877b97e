#pragma once
// Text helpers and conversions of the class library, on AnsiString.
#include <cstdint>
#include <set>

#include "lib/AnsiString.h"
#include "lib/FormatSettings.h"

AnsiString LeftStr(const AnsiString& text, int count);
AnsiString RightStr(const AnsiString& text, int count);
AnsiString MidStr(const AnsiString& text, int start, int count);
int Pos(const AnsiString& sub, const AnsiString& text);
int AnsiPos(const AnsiString& sub, const AnsiString& text);

AnsiString Trim(const AnsiString& text);  // blanks and control characters at both ends
AnsiString TrimLeft(const AnsiString& text);
AnsiString TrimRight(const AnsiString& text);
AnsiString UpperCase(const AnsiString& text);  // ASCII letters only
AnsiString LowerCase(const AnsiString& text);
AnsiString AnsiUpperCase(const AnsiString& text);  // Windows-1252 letters too
AnsiString AnsiLowerCase(const AnsiString& text);

// Comparisons give <0, 0 or >0. The Ansi ones follow the user locale's collation as the
// class library does (case first differs from byte order: "a" < "B").
int AnsiStrComp(const char* a, const char* b);
int AnsiCompareStr(const AnsiString& a, const AnsiString& b);
int AnsiCompareText(const AnsiString& a, const AnsiString& b);
int AnsiStrIComp(const char* a, const char* b);
int CompareStr(const AnsiString& a, const AnsiString& b);   // byte order
int CompareText(const AnsiString& a, const AnsiString& b);  // byte order, ASCII case folded
bool SameText(const AnsiString& a, const AnsiString& b);

enum class TReplaceFlag { rfReplaceAll, rfIgnoreCase };
using TReplaceFlags = std::set<TReplaceFlag>;
inline constexpr TReplaceFlag rfReplaceAll = TReplaceFlag::rfReplaceAll;
inline constexpr TReplaceFlag rfIgnoreCase = TReplaceFlag::rfIgnoreCase;
AnsiString StringReplace(const AnsiString& text, const AnsiString& oldPattern,
                         const AnsiString& newPattern, const TReplaceFlags& flags);

AnsiString IntToStr(std::int64_t value);
int StrToInt(const AnsiString& text);  // EConvertError "'x' is not a valid integer value"
int StrToIntDef(const AnsiString& text, int fallback);
double StrToFloat(
    const AnsiString& text);  // EConvertError "'x' is not a valid floating point value"
bool TryStrToFloat(const AnsiString& text, double& value);
// The same with the decimal separator of the given settings instead of the process-wide ones.
bool TryStrToFloat(const AnsiString& text, double& value, const TFormatSettings& settings);
// The general float form: up to 15 significant digits, no trailing zeros, the locale's decimal
// separator, exponent form ("1E-5", "1.5E20") for very small or very large values.
AnsiString FloatToStr(double value);
AnsiString FloatToStr(double value, const TFormatSettings& settings);

// Money: the class library's Currency type is a 64-bit count of ten-thousandths.
using Currency = double;
// The currency text of the process-wide settings: symbol, placement, two decimals, thousands.
// An amount too large for exact ten-thousandths is written with the digits of its double, so
// any amount is written; one that is no number gives "INF", "-INF" or "NAN".
AnsiString CurrToStrF(double value, int decimals);
// The same amount without the currency symbol and the thousands separators, with the
// settings' decimal separator: 12.5 with 2 decimals gives "12.50", 12.345 gives "12.35".
AnsiString FloatToStrFixed(double value, int decimals);

AnsiString ExtractFileName(const AnsiString& path);
AnsiString ExtractFileExt(const AnsiString& path);
bool FileExists(const AnsiString& name);
bool DeleteFile(const AnsiString& name);
AnsiString GetCurrentDir();
