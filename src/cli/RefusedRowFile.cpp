#include "cli/RefusedRowFile.h"

namespace korvanta::cli {

std::string CsvField(const std::optional<std::string>& value) {
    if (!value)
        return {};
    const std::string& text = *value;
    const bool quote =
        text.empty() || text == "\\." || text.find_first_of(",\"\r\n") != std::string::npos;
    if (!quote)
        return text;
    std::string field = "\"";
    for (char c : text) {
        if (c == '"')
            field += '"';
        field += c;
    }
    return field + '"';
}

std::string CsvRecord(const RefusedRow& row) {
    std::string record =
        CsvField(row.table) + ',' + std::to_string(row.sourceRow) + ',' + CsvField(row.message);
    for (const std::optional<std::string>& value : row.values)
        record += ',' + CsvField(value);
    return record + '\n';
}

namespace {

// The length of the UTF-8 sequence at `i`, or 0 when it is not well formed.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80)
        return 1;
    std::size_t n;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0)
            low = 0xA0;
        if (c == 0xED)
            high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0)
            low = 0x90;
        if (c == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    if (b(i + 1) < low || b(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < n; ++k) {
        if (b(i + k) < 0x80 || b(i + k) > 0xBF)
            return 0;
    }
    return n;
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = SequenceLength(bytes, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string JsonString(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = SequenceLength(text, i);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (n > 1) {
            out.append(text.substr(i, n));
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7f) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
        i += n;
    }
    return out + '"';
}

std::string JsonValue(const std::optional<std::string>& value) {
    if (!value)
        return "null";
    if (IsUtf8(*value))
        return JsonString(*value);
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : *value) {
        hex += kHex[c >> 4];
        hex += kHex[c & 15];
    }
    return "{\"hex\":\"" + hex + "\"}";
}

std::string JsonRecord(const RefusedRow& row) {
    std::string line = "{\"table\":" + JsonString(row.table) +
                       ",\"row\":" + std::to_string(row.sourceRow) + ",\"columns\":[";
    for (std::size_t i = 0; i < row.columns.size(); ++i)
        line += (i ? "," : "") + JsonString(row.columns[i]);
    line += "],\"values\":[";
    for (std::size_t i = 0; i < row.values.size(); ++i)
        line += (i ? "," : "") + JsonValue(row.values[i]);
    return line + "],\"error\":" + JsonString(row.message) + "}\n";
}

RefusedRowFile::RefusedRowFile(const std::string& path, bool keep)
    : file_(path, keep), csv_(path.size() >= 4 && path.compare(path.size() - 4, 4, ".csv") == 0) {}

bool RefusedRowFile::Write(const RefusedRow& row) {
    const std::string record = csv_ ? CsvRecord(row) : JsonRecord(row);
    std::lock_guard lock(mutex_);
    // Written straight to the file: rows already refused stay in it even when the program
    // is ended at once.
    if (file_.Append(record))
        return true;
    ++lost_;
    return false;
}

long long RefusedRowFile::Lost() const {
    std::lock_guard lock(mutex_);
    return lost_;
}

std::string RefusedRowFile::Failure() const {
    std::lock_guard lock(mutex_);
    return file_.Failure();
}

bool RefusedRowFile::Close() {
    std::lock_guard lock(mutex_);
    return file_.Close() && lost_ == 0;
}

}  // namespace korvanta::cli
