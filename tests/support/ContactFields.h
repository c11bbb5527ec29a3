// The text fields of the contact record (and so of both hand-offs), by their
// names after "eContact_", in the record's order: taken from the record's
// own field list, so that a new field reaches every test that walks them.
#pragma once

#include "core/ContactRecord.h"

#include <string_view>
#include <utility>
#include <vector>

namespace velloquin::testsupport {

// The member's name without its "eContact_" prefix.
inline std::string_view ShortFieldName(const ContactField& field) {
    std::string_view name = field.name;
    if (name.starts_with("eContact_")) name.remove_prefix(9);
    return name;
}

inline const std::vector<std::pair<std::string_view, std::string ContactRecord::*>>&
ContactTextFields() {
    static const auto fields = [] {
        std::vector<std::pair<std::string_view, std::string ContactRecord::*>> out;
        for (const ContactField& field : kContactFields)
            if (field.kind == FieldKind::Text) out.emplace_back(ShortFieldName(field), field.text);
        return out;
    }();
    return fields;
}

} // namespace velloquin::testsupport
