#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace cli {

// Just enough JSON to write a report: values built in the order they are
// to be read, written either pretty (for a person or a file) or on one line
// (JSON Lines).
class Json {
public:
    using Object = std::vector<std::pair<std::string, Json>>;
    using Array = std::vector<Json>;

    Json() = default;  // null
    Json(bool value);
    Json(int value);
    Json(std::int64_t value);
    Json(double value);  // null when not finite: JSON has no NaN
    Json(std::string value);
    Json(const char* value);
    Json(Object value);
    Json(Array value);
    template <typename T>
    Json(const std::optional<T>& value)
    {
        if (value)
            *this = Json(*value);
    }

    std::string text(bool pretty) const;

private:
    void write(std::string& out, bool pretty, int depth) const;

    std::variant<std::monostate, bool, std::int64_t, double, std::string, Object, Array> m_value;
};

} // namespace cli
