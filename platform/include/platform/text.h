// Text conversions of the platform layer: the CP1251 code page of every file the rig
// program reads or writes, the strict decimal number parser, and the regional formats
// (dates, times, numbers) of the installation language.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltron::text {

// --- CP1251 <-> UTF-8 -------------------------------------------------------------
// Every one of the 256 codes maps to one code point and back (0x98, unassigned in the
// code page, maps to U+0098 as on the original platform), so a CP1251 file survives a
// round trip through UTF-8 unchanged.
std::string cp1251ToUtf8(std::string_view bytes);
// Code points without a CP1251 code become '?'; malformed UTF-8 bytes become '?' too.
std::string utf8ToCp1251(std::string_view utf8);

// Splits CP1251 file content into UTF-8 lines. Lines end with CR LF, LF or a lone CR;
// a final line without a line end is kept, an empty final line after the last break is not.
std::vector<std::string> cp1251Lines(std::string_view bytes);
// Joins UTF-8 lines into CP1251 file content, each line ended by CR LF.
std::string cp1251Text(const std::vector<std::string>& lines);

// Upper-cases Latin and Cyrillic letters of a UTF-8 text (all letters of CP1251); used
// wherever the original platform matched names without regard to case.
std::string foldCase(std::string_view utf8);
bool equalsNoCase(std::string_view a, std::string_view b);

// Removes blanks, tabs and other control characters from both ends.
std::string_view trim(std::string_view s);

// --- numbers ------------------------------------------------------------------------
// The one decimal parser of the program. Integers: optional sign and decimal digits, the
// whole text, within 32 bits. Reals: optional sign, digits with an optional "." and
// fraction (at least one digit in all), optional exponent; "nan", "inf", hex, a decimal
// comma, blanks inside and trailing characters do not parse. The result is always finite.
std::optional<std::int32_t> parseInt(std::string_view s);
std::optional<double> parseDouble(std::string_view s);
// As parseDouble, and the value must also be finite as a 32-bit float.
std::optional<float> parseFloat(std::string_view s);

// Float-to-integer conversions that the original performed with Trunc and Round: a
// non-finite value or one outside 32 bits gives no result instead of undefined behaviour.
std::optional<std::int32_t> checkedTrunc(double v);
std::optional<std::int32_t> checkedRound(double v); // halves to even, as the original

// --- regional formats ---------------------------------------------------------------
// Thousands separator of the installation language: the no-break space (0xA0 in CP1251).
inline constexpr std::string_view kThousandsSeparator = "\xC2\xA0";

struct DateTime {
    int year = 0;
    int month = 0; // 1..12
    int day = 0;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

DateTime now();                           // local time from the system clock
std::string shortDate(const DateTime& t); // dd.MM.yyyy
std::string longTime(const DateTime& t);  // H:mm:ss

// The general float format: up to 15 significant digits, no trailing zeros, "." as the
// decimal separator, scientific notation ("1.5E-5", "1E20") for exponents below -4 or of
// 15 and above. Non-finite values print as "NAN", "INF" or "-INF".
std::string formatGeneral(double v);
// Fixed notation with the given number of decimals and the thousands separator between
// groups of three digits ("12 345.6" with a no-break space).
std::string formatThousands(double v, int decimals);
// Fixed notation without grouping ("0.0", "-3.25").
std::string formatFixed(double v, int decimals);

} // namespace veltron::text
