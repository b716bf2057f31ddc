#pragma once

// simdjson on-demand reading every name and value of a data packet: the
// floor any packet decoder is measured against.
#include <simdjson.h>

#include <string_view>

namespace bench {

inline double simdTouch(simdjson::ondemand::parser& parser, const simdjson::padded_string& padded)
{
    double acc = 0;
    auto doc = parser.iterate(padded);
    auto obj = doc.get_object();
    for (auto f : obj.find_field_unordered("fields").get_array())
        acc += std::string_view(f.get_object().find_field_unordered("name").get_string().value()).size();
    for (auto r : obj.find_field_unordered("rows").get_array()) {
        for (auto v : r.get_array()) {
            auto val = v.value();
            switch (val.type().value()) {
            case simdjson::ondemand::json_type::string: acc += val.get_string().value().size(); break;
            case simdjson::ondemand::json_type::number: acc += val.get_double().value(); break;
            default: acc += val.is_null() ? 1 : 0;
            }
        }
    }
    return acc;
}

} // namespace bench
