#include "maptools/sidecar_json.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

const char* const kRequiredKeys[] = {"width", "height", "origin_lat", "origin_lon",
                                     "cell_size_deg_x", "cell_size_deg_y"};

// A cursor over the text; every Parse* leaves `error` set when it fails.
class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    bool ParseObject(std::map<std::string, double>* numbers, std::string* error);

private:
    void SkipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\n' || text_[pos_] == '\r')) {
            ++pos_;
        }
    }
    bool Fail(const std::string& what, std::string* error) {
        *error = what + " at byte " + std::to_string(pos_);
        return false;
    }
    bool Expect(char c, std::string* error) {
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) return ++pos_, true;
        return Fail(std::string("expected '") + c + "'", error);
    }
    bool ParseString(std::string* out, std::string* error);
    bool ParseNumber(double* out, std::string* error);
    bool ParseValue(bool* isNumber, double* number, std::string* error);

    const std::string& text_;
    size_t pos_ = 0;
};

bool Parser::ParseString(std::string* out, std::string* error) {
    if (!Expect('"', error)) return false;
    out->clear();
    while (pos_ < text_.size()) {
        char c = text_[pos_++];
        if (c == '"') return true;
        if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in string", error);
        if (c != '\\') {
            out->push_back(c);
            continue;
        }
        if (pos_ >= text_.size()) break;
        char escape = text_[pos_++];
        if (escape == 'u') {
            for (int i = 0; i < 4; ++i, ++pos_) {
                if (pos_ >= text_.size() || !std::isxdigit(static_cast<unsigned char>(text_[pos_]))) {
                    return Fail("bad \\u escape", error);
                }
            }
            out->push_back('?');  // keys that matter are plain ASCII
        } else if (std::string("\"\\/bfnrt").find(escape) != std::string::npos) {
            out->push_back(escape);
        } else {
            return Fail("bad escape", error);
        }
    }
    return Fail("unterminated string", error);
}

// JSON number grammar: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
bool Parser::ParseNumber(double* out, std::string* error) {
    size_t start = pos_;
    auto digits = [this]() {
        size_t first = pos_;
        while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        return pos_ > first;
    };
    if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '0') {
        ++pos_;
    } else if (!digits()) {
        return Fail("bad number", error);
    }
    if (pos_ < text_.size() && text_[pos_] == '.' && (++pos_, !digits())) return Fail("bad number", error);
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
        ++pos_;
        if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
        if (!digits()) return Fail("bad number", error);
    }
    std::string literal = text_.substr(start, pos_ - start);
    errno = 0;
    *out = std::strtod(literal.c_str(), nullptr);
    if (errno == ERANGE || !std::isfinite(*out)) return Fail("number out of range", error);
    return true;
}

bool Parser::ParseValue(bool* isNumber, double* number, std::string* error) {
    SkipSpace();
    *isNumber = false;
    if (pos_ >= text_.size()) return Fail("missing value", error);
    char c = text_[pos_];
    if (c == '"') {
        std::string ignored;
        return ParseString(&ignored, error);
    }
    if (c == '{' || c == '[') return Fail("nested values are not supported", error);
    for (const char* word : {"true", "false", "null"}) {
        if (text_.compare(pos_, std::char_traits<char>::length(word), word) == 0) {
            pos_ += std::char_traits<char>::length(word);
            return true;
        }
    }
    *isNumber = true;
    return ParseNumber(number, error);
}

bool Parser::ParseObject(std::map<std::string, double>* numbers, std::string* error) {
    std::map<std::string, bool> seen;
    if (!Expect('{', error)) return false;
    SkipSpace();
    bool empty = pos_ < text_.size() && text_[pos_] == '}';
    while (!empty) {
        std::string key;
        SkipSpace();
        if (!ParseString(&key, error) || !Expect(':', error)) return false;
        if (seen.count(key) != 0) return Fail("duplicate key \"" + key + "\"", error);
        seen[key] = true;
        bool isNumber = false;
        double value = 0.0;
        if (!ParseValue(&isNumber, &value, error)) return false;
        if (isNumber) (*numbers)[key] = value;
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == ',') {
            ++pos_;
            continue;
        }
        break;
    }
    if (!Expect('}', error)) return false;
    SkipSpace();
    if (pos_ != text_.size()) return Fail("text after the object", error);
    return true;
}

bool WholeDimension(double value, int32_t* out) {
    if (!(value >= 1.0 && value <= 2147483647.0) || value != std::floor(value)) return false;
    *out = static_cast<int32_t>(value);
    return true;
}

// Slack for extents that end on a pole or the antimeridian after rounding.
const double kGlobeSlackDeg = 1e-9;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

}  // namespace

std::string CheckGridOnGlobe(const RawGridInfo& info) {
    for (double cell : {info.cellLat, info.cellLon}) {
        if (!(cell >= kMinCellDeg && cell <= kMaxCellDeg)) {
            return "cell size " + Number(cell) + " degrees is not plausible (expected " + Number(kMinCellDeg) +
                   " to " + Number(kMaxCellDeg) + ")";
        }
    }
    if (!(info.originLat >= -90.0 && info.originLat <= 90.0)) {
        return "origin latitude " + Number(info.originLat) + " is outside -90..90";
    }
    if (!(info.originLon >= -180.0 && info.originLon <= 180.0)) {
        return "origin longitude " + Number(info.originLon) + " is outside -180..180";
    }
    double south = info.originLat - info.height * info.cellLat;
    if (south < -90.0 - kGlobeSlackDeg) {
        return "the grid reaches latitude " + Number(south) + ", past the south pole";
    }
    double east = info.originLon + info.width * info.cellLon;
    if (east > 180.0 + kGlobeSlackDeg) {
        return "the grid reaches longitude " + Number(east) + ", past 180";
    }
    return std::string();
}

bool ParseSidecarJson(const std::string& text, RawGridInfo* info, std::string* error) {
    if (text.size() > kMaxSidecarBytes) return *error = "sidecar is larger than 64 KiB", false;
    std::map<std::string, double> numbers;
    if (!Parser(text).ParseObject(&numbers, error)) return false;
    for (const char* key : kRequiredKeys) {
        if (numbers.count(key) == 0) return *error = std::string("missing number \"") + key + "\"", false;
    }
    RawGridInfo parsed;
    if (!WholeDimension(numbers["width"], &parsed.width)) return *error = "width is not a whole number >= 1", false;
    if (!WholeDimension(numbers["height"], &parsed.height)) return *error = "height is not a whole number >= 1", false;
    parsed.originLat = numbers["origin_lat"];
    parsed.originLon = numbers["origin_lon"];
    parsed.cellLon = numbers["cell_size_deg_x"];
    parsed.cellLat = numbers["cell_size_deg_y"];
    std::string problem = CheckGridOnGlobe(parsed);
    if (!problem.empty()) return *error = problem, false;
    *info = parsed;
    return true;
}
