#include "Json.h"

#include "NumberText.h"
#include "Utf8Text.h"

#include <cmath>

namespace cli {

namespace {

// A Linux file name is bytes, not necessarily UTF-8; JSON text must be. A
// byte that starts no UTF-8 character is shown as U+FFFD.
void writeString(std::string& out, const std::string& text)
{
    out += '"';
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            const std::size_t length = utf8SequenceLength(text, at);
            if (length == 0) {
                out += "\\ufffd";
            } else {
                out.append(text, at, length);
                at += length - 1;
            }
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            constexpr char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[byte >> 4];
            out += hex[byte & 0xf];
        } else {
            out += c;
        }
    }
    out += '"';
}

void newLine(std::string& out, bool pretty, int depth)
{
    if (pretty) {
        out += '\n';
        out.append(static_cast<std::size_t>(depth) * 2, ' ');
    }
}

} // namespace

Json::Json(bool value)
    : m_value(value)
{
}

Json::Json(int value)
    : m_value(std::int64_t{value})
{
}

Json::Json(std::int64_t value)
    : m_value(value)
{
}

Json::Json(double value)
{
    if (std::isfinite(value))
        m_value = value;
}

Json::Json(std::string value)
    : m_value(std::move(value))
{
}

Json::Json(const char* value)
    : m_value(std::string(value))
{
}

Json::Json(Object value)
    : m_value(std::move(value))
{
}

Json::Json(Array value)
    : m_value(std::move(value))
{
}

std::string Json::text(bool pretty) const
{
    std::string out;
    write(out, pretty, 0);
    return out;
}

void Json::write(std::string& out, bool pretty, int depth) const
{
    if (std::holds_alternative<std::monostate>(m_value)) {
        out += "null";
    } else if (const bool* b = std::get_if<bool>(&m_value)) {
        out += *b ? "true" : "false";
    } else if (const std::int64_t* i = std::get_if<std::int64_t>(&m_value)) {
        out += std::to_string(*i);
    } else if (const double* d = std::get_if<double>(&m_value)) {
        out += shortestText(*d);
    } else if (const std::string* s = std::get_if<std::string>(&m_value)) {
        writeString(out, *s);
    } else if (const Object* object = std::get_if<Object>(&m_value)) {
        out += '{';
        for (std::size_t i = 0; i < object->size(); ++i) {
            out += i ? "," : "";
            newLine(out, pretty, depth + 1);
            writeString(out, (*object)[i].first);
            out += pretty ? ": " : ":";
            (*object)[i].second.write(out, pretty, depth + 1);
        }
        if (!object->empty())
            newLine(out, pretty, depth);
        out += '}';
    } else if (const Array* array = std::get_if<Array>(&m_value)) {
        out += '[';
        for (std::size_t i = 0; i < array->size(); ++i) {
            out += i ? "," : "";
            newLine(out, pretty, depth + 1);
            (*array)[i].write(out, pretty, depth + 1);
        }
        if (!array->empty())
            newLine(out, pretty, depth);
        out += ']';
    }
}

} // namespace cli
