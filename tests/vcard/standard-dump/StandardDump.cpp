// Prints what Standard Mode makes of each file named on the command line, as
// one JSON document: every contact's slots and the notes on it, for the
// comparison with an independent vCard library (vobject_facts.py).
#include "vcard/Reader.h"

#include "core/Dates.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace velloquin;

struct Slot {
    const char* name;
    std::string ContactRecord::*field;
};
const Slot kSlots[] = {{"FirstName", &ContactRecord::eContact_FirstName},
                       {"MiddleName", &ContactRecord::eContact_MiddleName},
                       {"LastName", &ContactRecord::eContact_LastName},
                       {"FullName", &ContactRecord::eContact_FullName},
                       {"Suffix", &ContactRecord::eContact_Suffix},
                       {"Title", &ContactRecord::eContact_Title},
                       {"Email", &ContactRecord::eContact_Email},
                       {"Email2", &ContactRecord::eContact_Email2},
                       {"Email3", &ContactRecord::eContact_Email3},
                       {"Company", &ContactRecord::eContact_Company},
                       {"Profession", &ContactRecord::eContact_Profession},
                       {"JobTitle", &ContactRecord::eContact_JobTitle},
                       {"BusinessAddress", &ContactRecord::eContact_BusinessAddress},
                       {"BusinessStreet", &ContactRecord::eContact_BusinessStreet},
                       {"BusinessCity", &ContactRecord::eContact_BusinessCity},
                       {"BusinessZip", &ContactRecord::eContact_BusinessZip},
                       {"BusinessState", &ContactRecord::eContact_BusinessState},
                       {"BusinessCountry", &ContactRecord::eContact_BusinessCountry},
                       {"Location", &ContactRecord::eContact_Location},
                       {"WebPage", &ContactRecord::eContact_WebPage},
                       {"Department", &ContactRecord::eContact_Department},
                       {"Manager", &ContactRecord::eContact_Manager},
                       {"Assistant", &ContactRecord::eContact_Assistant},
                       {"OfficePhone", &ContactRecord::eContact_OfficePhone},
                       {"OfficeFax", &ContactRecord::eContact_OfficeFax},
                       {"CellPhone", &ContactRecord::eContact_CellPhone},
                       {"Pager", &ContactRecord::eContact_Pager},
                       {"CarPhone", &ContactRecord::eContact_CarPhone},
                       {"OtherEmail1", &ContactRecord::eContact_OtherEmail1},
                       {"OtherEmail2", &ContactRecord::eContact_OtherEmail2},
                       {"OtherEmail3", &ContactRecord::eContact_OtherEmail3},
                       {"IMAddress", &ContactRecord::eContact_IMAddress},
                       {"PersonalAddress", &ContactRecord::eContact_PersonalAddress},
                       {"PersonalStreet", &ContactRecord::eContact_PersonalStreet},
                       {"PersonalCity", &ContactRecord::eContact_PersonalCity},
                       {"PersonalZip", &ContactRecord::eContact_PersonalZip},
                       {"PersonalState", &ContactRecord::eContact_PersonalState},
                       {"PersonalCountry", &ContactRecord::eContact_PersonalCountry},
                       {"Spouse", &ContactRecord::eContact_Spouse},
                       {"Childern", &ContactRecord::eContact_Childern},
                       {"HomePhone", &ContactRecord::eContact_HomePhone},
                       {"HomeFax", &ContactRecord::eContact_HomeFax},
                       {"Comments", &ContactRecord::eContact_Comments},
                       {"ShortName", &ContactRecord::eContact_ShortName},
                       {"PhoneticName", &ContactRecord::eContact_PhoneticName},
                       {"MailDomain", &ContactRecord::eContact_MailDomain},
                       {"Categories", &ContactRecord::eContact_Categories},
                       {"NickName", &ContactRecord::eContact_NickName},
                       {"HomePhone2", &ContactRecord::eContact_HomePhone2},
                       {"OfficePhone2", &ContactRecord::eContact_OfficePhone2},
                       {"OtherPhone", &ContactRecord::eContact_OtherPhone},
                       {"OtherFax", &ContactRecord::eContact_OtherFax},
                       {"CompanyMainPhone", &ContactRecord::eContact_CompanyMainPhone},
                       {"ISDN", &ContactRecord::eContact_ISDN},
                       {"RadioPhone", &ContactRecord::eContact_RadioPhone},
                       {"CallbackPhone", &ContactRecord::eContact_CallbackPhone},
                       {"Telex", &ContactRecord::eContact_Telex},
                       {"TTYPhone", &ContactRecord::eContact_TTYPhone},
                       {"AssistantPhone", &ContactRecord::eContact_AssistantPhone},
                       {"PrimaryPhone", &ContactRecord::eContact_PrimaryPhone},
                       {"OtherAddress", &ContactRecord::eContact_OtherAddress},
                       {"OtherStreet", &ContactRecord::eContact_OtherStreet},
                       {"OtherCity", &ContactRecord::eContact_OtherCity},
                       {"OtherZip", &ContactRecord::eContact_OtherZip},
                       {"OtherState", &ContactRecord::eContact_OtherState},
                       {"OtherCountry", &ContactRecord::eContact_OtherCountry},
                       {"PersonalWebPage", &ContactRecord::eContact_PersonalWebPage}};

std::string Json(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

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
        auto add = [&](const char* name, const std::string& value) {
            if (value.empty()) return;
            out += (first ? "" : ",") + Json(name) + ":" + Json(value);
            first = false;
        };
        for (const Slot& slot : kSlots)
            add(slot.name, r.*slot.field);
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
