#include "platform/text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <sys/time.h>

namespace veltron::text {
namespace {

// Code points of CP1251 bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F.
constexpr std::array<char32_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char32_t byteToCodePoint(unsigned char b) {
    if (b < 0x80) {
        return b;
    }
    if (b >= 0xC0) {
        return 0x0410 + (b - 0xC0);
    }
    return kHigh[b - 0x80];
}

int codePointToByte(char32_t c) {
    if (c < 0x80) {
        return static_cast<int>(c);
    }
    if (c >= 0x0410 && c <= 0x044F) {
        return static_cast<int>(0xC0 + (c - 0x0410));
    }
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == c) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes one UTF-8 sequence at s[i]; advances i. Malformed input yields U+FFFD.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int len = 0;
    char32_t c = 0;
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        c = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        c = b0 & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + len > s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        c = (c << 6) | (b & 0x3F);
    }
    i += len;
    return c;
}

char32_t upper(char32_t c) {
    if (c >= 'a' && c <= 'z') {
        return c - 0x20;
    }
    if (c >= 0x0430 && c <= 0x044F) {
        return c - 0x20;
    }
    if (c >= 0x0450 && c <= 0x045F) {
        return c - 0x50;
    }
    if (c == 0x0491) {
        return 0x0490;
    }
    return c;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Checks the decimal grammar: [sign] digits [. digits] [(e|E) [sign] digits], at least one
// mantissa digit.
bool isDecimalReal(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            ++i;
        }
        std::size_t expDigits = 0;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0) {
            return false;
        }
    }
    return i == s.size();
}

// For a text out of the double range: whether it is too small rather than too large. The
// decimal exponent of the leading significant digit decides.
bool isUnderflow(std::string_view s) {
    long long position = 0; // decimal exponent of the first significant digit, +1
    bool seenPoint = false;
    bool significant = false;
    std::size_t i = 0;
    for (; i < s.size() && s[i] != 'e' && s[i] != 'E'; ++i) {
        if (s[i] == '.') {
            seenPoint = true;
        } else if (isDigit(s[i])) {
            if (s[i] != '0' && !significant) {
                significant = true;
            }
            if (!seenPoint && significant) {
                ++position;
            } else if (seenPoint && !significant) {
                --position;
            }
        }
    }
    long long exponent = 0;
    if (i < s.size()) {
        const auto e = parseInt(s.substr(i + 1));
        // An exponent beyond 32 bits only tells its sign.
        exponent = e ? *e : (i + 1 < s.size() && s[i + 1] == '-' ? -(1LL << 40) : (1LL << 40));
    }
    return position + exponent <= 0;
}

std::string groupThousands(const std::string& digits) {
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) {
            out += kThousandsSeparator;
        }
        out.push_back(digits[i]);
    }
    return out;
}

} // namespace

std::string cp1251ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        appendUtf8(out, byteToCodePoint(static_cast<unsigned char>(ch)));
    }
    return out;
}

std::string utf8ToCp1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const int b = codePointToByte(nextCodePoint(utf8, i));
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
    }
    return out;
}

std::vector<std::string> cp1251Lines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            lines.push_back(cp1251ToUtf8(bytes.substr(start, i - start)));
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < bytes.size()) {
        lines.push_back(cp1251ToUtf8(bytes.substr(start)));
    }
    return lines;
}

std::string cp1251Text(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines) {
        out += utf8ToCp1251(line);
        out += "\r\n";
    }
    return out;
}

std::string foldCase(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        appendUtf8(out, upper(nextCodePoint(utf8, i)));
    }
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return foldCase(a) == foldCase(b);
}

std::string_view trim(std::string_view s) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::optional<std::int32_t> parseInt(std::string_view s) {
    if (s.empty()) {
        return std::nullopt;
    }
    std::size_t i = 0;
    bool negative = false;
    if (s[0] == '+' || s[0] == '-') {
        negative = s[0] == '-';
        i = 1;
    }
    if (i == s.size()) {
        return std::nullopt;
    }
    std::int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (!isDigit(s[i])) {
            return std::nullopt;
        }
        v = v * 10 + (s[i] - '0');
        if (v > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
            return std::nullopt;
        }
    }
    if (negative) {
        v = -v;
    }
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(v);
}

std::optional<double> parseDouble(std::string_view s) {
    if (!isDecimalReal(s)) {
        return std::nullopt;
    }
    // from_chars does not take a leading '+'.
    if (s.front() == '+') {
        s.remove_prefix(1);
    }
    double v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Out of range either way: underflow is a finite zero, overflow is not a number.
        if (!isUnderflow(s)) {
            return std::nullopt;
        }
        v = 0.0;
    } else if (ec != std::errc() || ptr != s.data() + s.size()) {
        return std::nullopt;
    }
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

std::optional<float> parseFloat(std::string_view s) {
    const auto d = parseDouble(s);
    if (!d || std::fabs(*d) > static_cast<double>(std::numeric_limits<float>::max())) {
        return std::nullopt;
    }
    return static_cast<float>(*d);
}

std::optional<std::int32_t> checkedTrunc(double v) {
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    const double t = std::trunc(v);
    if (t < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        t > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(t);
}

std::optional<std::int32_t> checkedRound(double v) {
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    return checkedTrunc(std::nearbyint(v));
}

DateTime now() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm tm{};
    localtime_r(&tv.tv_sec, &tm);
    return DateTime{tm.tm_year + 1900,
                    tm.tm_mon + 1,
                    tm.tm_mday,
                    tm.tm_hour,
                    tm.tm_min,
                    tm.tm_sec,
                    static_cast<int>(tv.tv_usec / 1000)};
}

std::string shortDate(const DateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", t.day, t.month, t.year);
    return buf;
}

std::string longTime(const DateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", t.hour, t.minute, t.second);
    return buf;
}

std::string formatGeneral(double v) {
    if (std::isnan(v)) {
        return "NAN";
    }
    if (std::isinf(v)) {
        return v > 0 ? "INF" : "-INF";
    }
    if (v == 0.0) {
        return "0";
    }
    char buf[64];
    // 15 significant digits in scientific form tell the decimal exponent after rounding.
    std::snprintf(buf, sizeof buf, "%.14e", v);
    std::string sci = buf;
    const auto ePos = sci.find('e');
    const int exponent = std::stoi(sci.substr(ePos + 1));
    auto stripZeros = [](std::string s) {
        if (s.find('.') != std::string::npos) {
            while (!s.empty() && s.back() == '0') {
                s.pop_back();
            }
            if (!s.empty() && s.back() == '.') {
                s.pop_back();
            }
        }
        return s;
    };
    if (exponent < -4 || exponent >= 15) {
        std::string mantissa = stripZeros(sci.substr(0, ePos));
        return mantissa + "E" + std::to_string(exponent);
    }
    std::snprintf(buf, sizeof buf, "%.*f", 14 - exponent, v);
    return stripZeros(buf);
}

std::string formatFixed(double v, int decimals) {
    if (!std::isfinite(v)) {
        return formatGeneral(v);
    }
    if (decimals < 0) {
        decimals = 0;
    }
    // Halves round away from zero, as the original number formats did (0.25 -> "0.3"); the
    // exact decimal expansion of the binary value decides what a half is.
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", decimals + 40, std::fabs(v));
    std::string digits = buf;
    const auto dot = digits.find('.');
    const std::size_t keep = dot + 1 + static_cast<std::size_t>(decimals);
    const bool up = digits[keep] >= '5';
    digits.erase(decimals == 0 ? dot : keep);
    if (up) {
        int i = static_cast<int>(digits.size()) - 1;
        for (; i >= 0; --i) {
            if (digits[static_cast<std::size_t>(i)] == '.') {
                continue;
            }
            if (digits[static_cast<std::size_t>(i)] == '9') {
                digits[static_cast<std::size_t>(i)] = '0';
            } else {
                ++digits[static_cast<std::size_t>(i)];
                break;
            }
        }
        if (i < 0) {
            digits.insert(0, "1");
        }
    }
    // "-0.0" reads oddly on a result sheet; the original printed "0.0".
    const bool zero = digits.find_first_not_of("0.") == std::string::npos;
    return (v < 0 && !zero ? "-" : "") + digits;
}

std::string formatThousands(double v, int decimals) {
    std::string fixed = formatFixed(v, decimals);
    if (!std::isfinite(v)) {
        return fixed;
    }
    std::string sign;
    if (!fixed.empty() && fixed.front() == '-') {
        sign = "-";
        fixed.erase(0, 1);
    }
    const auto dot = fixed.find('.');
    const std::string intPart = fixed.substr(0, dot);
    const std::string frac = dot == std::string::npos ? "" : fixed.substr(dot);
    return sign + groupThousands(intPart) + frac;
}

} // namespace veltron::text
