// Prints what Standard Mode makes of each file named on the command line, as
// one JSON document: every contact's slots and the notes on it, for the
// comparison with an independent vCard library (vobject_facts.py).
#include "../JsonText.h"
#include "vcard/Reader.h"

#include "core/Dates.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace velloquin;

using testing_support::Json;

std::string DateText(double serial) {
    if (serial == 0) return {};
    const CivilDate d = CivilFromSerial(serial);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

class Dump : public ContactSink {
  public:
    std::vector<std::string> contacts; // JSON objects without their notes
    std::vector<int32_t> numbers;
    RunNotes notes;

    void ContactFinished(const ContactRecord& r, ReadMode, int32_t ivCard) override {
        std::string out = "{\"number\":" + std::to_string(ivCard) + ",\"fields\":{";
        bool first = true;
        auto add = [&](std::string_view name, const std::string& value) {
            if (value.empty()) return;
            out += (first ? "" : ",") + Json(name) + ":" + Json(value);
            first = false;
        };
        // Every text field of the one field list, named without its prefix.
        for (const ContactField& field : kContactFields)
            if (field.kind == FieldKind::Text)
                add(std::string_view(field.name).substr(std::string_view("eContact_").size()),
                    r.*field.text);
        add("BirthDay", DateText(r.eContact_BirthDay));
        add("Anniversary", DateText(r.eContact_Anniversary));
        add("Photo", r.ePhoto.empty() ? std::string() : "picture");
        contacts.push_back(out + "}");
        numbers.push_back(ivCard);
    }
    RunNotes& Notes() override { return notes; }
    std::string KeepPictureAs(std::string_view bytes, int32_t, std::string_view extension,
                              std::string&) override {
        return std::to_string(bytes.size()) + "." + std::string(extension);
    }
};

} // namespace

int main(int argc, char** argv) {
    std::cout << "[";
    for (int a = 1; a < argc; ++a) {
        Dump dump;
        ContactRecord record;
        int32_t ivCard = 1;
        ReadvCard(argv[a], ReadMode::Standard, ivCard, record, dump);
        std::map<int64_t, std::vector<std::string>> byContact;
        for (const RunNote& note : dump.notes.Kept())
            byContact[note.contact].push_back(note.message);
        std::cout << (a > 1 ? "," : "") << "{\"file\":" << Json(argv[a]) << ",\"contacts\":[";
        for (size_t i = 0; i < dump.contacts.size(); ++i) {
            std::cout << (i ? "," : "") << dump.contacts[i] << ",\"notes\":[";
            const auto& list = byContact[dump.numbers[i]];
            for (size_t j = 0; j < list.size(); ++j)
                std::cout << (j ? "," : "") << Json(list[j]);
            std::cout << "]}";
        }
        std::cout << "],\"notes\":[";
        const auto& list = byContact[0];
        for (size_t j = 0; j < list.size(); ++j)
            std::cout << (j ? "," : "") << Json(list[j]);
        std::cout << "],\"lost\":" << dump.notes.LostContacts() << "}";
    }
    std::cout << "]\n";
    return 0;
}
