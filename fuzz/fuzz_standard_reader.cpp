// Standard Mode on arbitrary bytes: the standards lexer and the mapping of
// every property into the record, with the pictures written as the run
// writes them. Checks: every card the lexer returns is one contact, handed
// off with the next number; every text is UTF-8; a reading that does not
// want the pictures gives the same texts; nothing but "<number>.<type>"
// pictures is written.
#include "FuzzSupport.h"

#include "app/PictureFiles.h"
#include "vcard/Reader.h"
#include "vcard/VCardLexer.h"

#include "core/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace velloquin;

// Every text slot of a contact, in one string, for comparing two readings.
std::string Texts(const ContactRecord& r) {
    std::string all;
    for (const std::string* text : {&r.eContact_FirstName,
                                    &r.eContact_MiddleName,
                                    &r.eContact_LastName,
                                    &r.eContact_FullName,
                                    &r.eContact_Suffix,
                                    &r.eContact_Title,
                                    &r.eContact_Email,
                                    &r.eContact_Email2,
                                    &r.eContact_Email3,
                                    &r.eContact_Company,
                                    &r.eContact_Profession,
                                    &r.eContact_JobTitle,
                                    &r.eContact_BusinessAddress,
                                    &r.eContact_BusinessCity,
                                    &r.eContact_BusinessZip,
                                    &r.eContact_BusinessState,
                                    &r.eContact_BusinessCountry,
                                    &r.eContact_WebPage,
                                    &r.eContact_Department,
                                    &r.eContact_Manager,
                                    &r.eContact_Assistant,
                                    &r.eContact_OfficePhone,
                                    &r.eContact_OfficeFax,
                                    &r.eContact_CellPhone,
                                    &r.eContact_Pager,
                                    &r.eContact_CarPhone,
                                    &r.eContact_IMAddress,
                                    &r.eContact_PersonalAddress,
                                    &r.eContact_PersonalCity,
                                    &r.eContact_PersonalZip,
                                    &r.eContact_PersonalState,
                                    &r.eContact_PersonalCountry,
                                    &r.eContact_Spouse,
                                    &r.eContact_Childern,
                                    &r.eContact_HomePhone,
                                    &r.eContact_HomeFax,
                                    &r.eContact_Comments,
                                    &r.eContact_PhoneticName,
                                    &r.eContact_Categories,
                                    &r.eContact_NickName,
                                    &r.eContact_HomePhone2,
                                    &r.eContact_OfficePhone2,
                                    &r.eContact_OtherPhone,
                                    &r.eContact_OtherFax,
                                    &r.eContact_CompanyMainPhone,
                                    &r.eContact_ISDN,
                                    &r.eContact_RadioPhone,
                                    &r.eContact_CallbackPhone,
                                    &r.eContact_Telex,
                                    &r.eContact_TTYPhone,
                                    &r.eContact_AssistantPhone,
                                    &r.eContact_PrimaryPhone,
                                    &r.eContact_OtherAddress,
                                    &r.eContact_OtherCity,
                                    &r.eContact_OtherZip,
                                    &r.eContact_OtherState,
                                    &r.eContact_OtherCountry,
                                    &r.eContact_PersonalWebPage}) {
        if (!IsValidUtf8(*text)) std::abort();
        all += *text;
        all += '\x1F';
    }
    return all + std::to_string(r.eContact_BirthDay) + "/" + std::to_string(r.eContact_Anniversary);
}

class CheckingSink : public ContactSink {
  public:
    explicit CheckingSink(bool pictures) : pictures_(pictures) {}
    std::vector<std::string> texts;
    int32_t expected = 1;

    void ContactFinished(const ContactRecord& record, ReadMode mode, int32_t ivCard) override {
        if (mode != ReadMode::Standard || ivCard != expected++) std::abort();
        // Both hand-offs are built from any record.
        (void)MakeExcelHandOff(record, false, ivCard);
        (void)MakeOutlookHandOff(record, "store");
        if (!pictures_ && !record.ePhoto.empty()) std::abort();
        texts.push_back(Texts(record));
    }
    RunNotes& Notes() override { return notes_; }
    bool WantsPictures() override { return pictures_; }
    std::string KeepPictureAs(std::string_view bytes, int32_t ivCard, std::string_view extension,
                              std::string& failure) override {
        if (!pictures_ || bytes.empty()) std::abort();
        return app::WritePictureFile(fuzz::WorkFolderText(), bytes, ivCard, failure, extension);
    }

  private:
    bool pictures_;
    RunNotes notes_;
};

bool IsTypedPictureName(const std::string& name) {
    const size_t dot = name.find('.');
    if (dot == 0 || dot == std::string::npos) return false;
    for (size_t i = 0; i < dot; ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    const std::string extension = name.substr(dot + 1);
    for (const char* known : {"jpg", "png", "gif", "bmp", "tif"})
        if (extension == known) return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The cards as the lexer cuts them.
    MemorySource counted(bytes);
    VCardLexer lexer(counted);
    std::string why;
    if (!lexer.Open(why)) std::abort();
    VCard card;
    size_t cards = 0;
    while (lexer.Next(card))
        ++cards;

    std::vector<std::string> seen[2];
    for (const bool pictures : {true, false}) {
        CheckingSink sink(pictures);
        ContactRecord record;
        int32_t ivCard = 1;
        ReadvCardText("backup.vcf", bytes, ReadMode::Standard, ivCard, record, sink);
        if (sink.texts.size() != cards || ivCard != static_cast<int32_t>(cards) + 1) std::abort();
        seen[pictures] = std::move(sink.texts);
    }
    if (seen[0] != seen[1]) std::abort();

    for (const auto& entry : std::filesystem::directory_iterator(fuzz::WorkFolder()))
        if (!IsTypedPictureName(entry.path().filename().string())) std::abort();
    fuzz::EmptyWorkFolder();
    return 0;
}
