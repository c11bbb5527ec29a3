// velloquin-genbackup N K OUT.vcf
//
// Writes a Skype-style contacts backup of N contacts for measuring the
// reader: vCard 3.0, UTF-8 without byte-order mark, CR LF line ends, and a
// small JPEG picture for every K-th contact (K = 0: no pictures). The output
// is the same for the same arguments.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

namespace {

// An 8 x 8 JPEG of one colour (632 bytes).
constexpr const char* kPictureBase64 =
    "/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDABALDA4MChAODQ4SERATGCgaGBYWGDEjJR0oOjM9PDkzODdASFxOQERXRTc4"
    "UG1RV19iZ2hnPk1xeXBkeFxlZ2P/2wBDARESEhgVGC8aGi9jQjhCY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2Nj"
    "Y2NjY2NjY2NjY2NjY2NjY2NjY2P/wAARCAAIAAgDASIAAhEBAxEB/8QAHwAAAQUBAQEBAQEAAAAAAAAAAAECAwQFBgcI"
    "CQoL/8QAtRAAAgEDAwIEAwUFBAQAAAF9AQIDAAQRBRIhMUEGE1FhByJxFDKBkaEII0KxwRVS0fAkM2JyggkKFhcYGRol"
    "JicoKSo0NTY3ODk6Q0RFRkdISUpTVFVWV1hZWmNkZWZnaGlqc3R1dnd4eXqDhIWGh4iJipKTlJWWl5iZmqKjpKWmp6ip"
    "qrKztLW2t7i5usLDxMXGx8jJytLT1NXW19jZ2uHi4+Tl5ufo6erx8vP09fb3+Pn6/8QAHwEAAwEBAQEBAQEBAQAAAAAA"
    "AAECAwQFBgcICQoL/8QAtREAAgECBAQDBAcFBAQAAQJ3AAECAxEEBSExBhJBUQdhcRMiMoEIFEKRobHBCSMzUvAVYnLR"
    "ChYkNOEl8RcYGRomJygpKjU2Nzg5OkNERUZHSElKU1RVVldYWVpjZGVmZ2hpanN0dXZ3eHl6goOEhYaHiImKkpOUlZaX"
    "mJmaoqOkpaanqKmqsrO0tba3uLm6wsPExcbHyMnK0tPU1dbX2Nna4uPk5ebn6Onq8vP09fb3+Pn6/9oADAMBAAIRAxEA"
    "PwChRRRXmn0B/9k=";

constexpr const char* kFirstNames[] = {"Anna",  "José",  "Jürgen", "Chloé", "Liam",   "Noémie",
                                       "Oskar", "Søren", "Maya",   "Ivan",  "Zoë",    "Mateo",
                                       "Elif",  "Björn", "Amélie", "Tomás", "Hannah", "Rafael"};
constexpr const char* kLastNames[] = {"Müller", "García", "Dubois", "Novák",   "Rossi",  "Smith",
                                      "Łukasz", "Brontë", "Larsen", "Petrov",  "Öztürk", "Kim",
                                      "Núñez",  "Weiß",   "Okafor", "Lefèvre", "Tanaka", "Hughes"};
constexpr const char* kCities[] = {"Zürich", "München", "Lyon", "Sevilla", "Bergen", "Kraków"};
constexpr const char* kCountries[] = {"Switzerland", "Germany", "France",
                                      "Spain",       "Norway",  "Poland"};

template <size_t N> const char* Pick(const char* const (&list)[N], uint64_t i) {
    return list[i % N];
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The user name keeps ASCII letters only, as Skype names do.
std::string UserName(const std::string& first, const std::string& last, uint64_t i) {
    std::string name = "live:";
    for (char c : Lower(first + "." + last))
        if ((c >= 'a' && c <= 'z') || c == '.') name += c;
    return name + "_" + std::to_string(i);
}

void WriteContact(std::ostream& out, uint64_t i, bool withPicture) {
    const std::string first = Pick(kFirstNames, i);
    const std::string last = Pick(kLastNames, i / 7 + i);
    const std::string user = UserName(first, last, i);
    const char* crlf = "\r\n";
    const std::string number = std::to_string(1000000 + i % 9000000);
    out << "BEGIN:VCARD" << crlf << "VERSION:3.0" << crlf;
    out << "X-SKYPE-USERNAME:" << user << crlf;
    out << "X-SKYPE-DISPLAYNAME:" << first << ' ' << last << crlf;
    out << "N:" << last << ';' << first << ";;;" << crlf;
    out << "FN:" << first << ' ' << last << crlf;
    out << "TEL;TYPE=CELL:+41 79 " << number << crlf;
    if (i % 3 == 0) out << "X-SKYPE-PSTNNUMBER:+4144" << number << crlf;
    out << "EMAIL;TYPE=INTERNET;TYPE=PREF:" << Lower(user.substr(5)) << "@example.com" << crlf;
    out << "ADR;TYPE=HOME:;;" << (i % 200 + 1) << " Lindenstrasse;" << Pick(kCities, i) << ";;"
        << (8000 + i % 1000) << ';' << Pick(kCountries, i) << crlf;
    if (i % 2 == 0) {
        const uint64_t month = i % 12 + 1;
        const uint64_t day = i % 28 + 1;
        out << "BDAY:" << (1950 + i % 50) << (month < 10 ? "0" : "") << month
            << (day < 10 ? "0" : "") << day << crlf;
    }
    out << "NOTE:Contact number " << i << "\\nMet at the spring meeting" << crlf;
    // The Base64 text goes on the line after the PHOTO line, which both
    // reading modes take as the picture.
    if (withPicture) out << "PHOTO;TYPE=JPEG;ENCODING=b:" << crlf << ' ' << kPictureBase64 << crlf;
    out << "END:VCARD" << crlf;
}

bool ParseCount(const char* text, uint64_t& value) {
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || text[0] == '-') return false;
    value = parsed;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    uint64_t count = 0;
    uint64_t pictureEvery = 0;
    if (argc != 4 || !ParseCount(argv[1], count) || !ParseCount(argv[2], pictureEvery)) {
        std::cerr << "usage: velloquin-genbackup N K OUT.vcf\n"
                     "  N  number of contacts\n"
                     "  K  a picture every K contacts (0: none)\n";
        return 2;
    }
    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    if (!out) {
        std::cerr << "velloquin-genbackup: cannot create " << argv[3] << '\n';
        return 1;
    }
    for (uint64_t i = 1; i <= count; ++i)
        WriteContact(out, i, pictureEvery > 0 && i % pictureEvery == 0);
    out.close();
    if (!out) {
        std::cerr << "velloquin-genbackup: writing " << argv[3] << " failed\n";
        return 1;
    }
    return 0;
}
