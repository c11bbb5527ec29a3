// Standard Mode: reads any vCard 2.1, 3.0 or 4.0 through the standards lexer
// and puts every fact where a user looks for it in Outlook. What finds no
// slot is named in a note, never dropped unseen.
//
// Where the facts go:
// - N → last, first, middle name, title, suffix; FN → full name (without one:
//   Skype's display name, then its user name); NICKNAME and Android's nickname
//   rows → nickname.
// - ORG → company, then department (further units joined by ", "); TITLE →
//   job title; ROLE → profession; spouse, children, manager and assistant
//   from RELATED, X-SPOUSE, X-CHILDREN, X-MANAGER, X-ASSISTANT and their
//   Evolution, KAddressBook, Outlook, Apple and Android forms.
// - EMAIL: most preferred first, then in file order, into e-mail 1, 2, 3.
// - TEL by kind (see kPhoneKinds in the source), most preferred first. A home
//   or business number whose slot is taken goes to home 2 or business 2; a
//   fax to other fax and the other fax slot. Numbers without a kind, VOICE
//   only, and all that still have no slot go to other phone and then to
//   kOverflowPhones in its order: home 2, business 2, callback, radio, car,
//   assistant, company main, primary, ISDN, TTY, telex.
// - ADR: home → personal, work → business, any other → other address; a
//   second one of a kind goes to the other group, then personal, then
//   business. The post-office box, the extended address and the street are
//   the street lines, kept like the Skype rules keep the street: in the whole
//   address (eContact_PersonalAddress, eContact_BusinessAddress,
//   eContact_OtherAddress) with "\n" between lines, which both outputs
//   resolve; the store composes the whole address from the parts.
// - BDAY, ANNIVERSARY and their X- forms → the dates; a date without a year
//   is reported (Outlook needs one).
// - NOTE → notes (several joined by a line break); URL: business or untyped →
//   web page, home → personal web page, then the other one; IMPP, Skype's
//   user name and the X- messenger properties → IM address, most preferred
//   first; CATEGORIES → categories; PHOTO → the picture, its file named by
//   its type.
// - Technical properties (VERSION, PRODID, REV, UID, ...) are read quietly.
#pragma once

#include "Reader.h"
#include "VCardLexer.h"

#include <cstdint>
#include <string>

namespace velloquin {

// ReadvCardFrom with ReadMode::Standard: the same contract with the sink as
// the Skype rules (a contact per card, the counter, progress, stops between
// cards, notes for what cannot be read).
void ReadStandardFrom(const std::string& file, ByteSource& source, int32_t& ivCard,
                      ContactRecord& record, ContactSink& sink);

// What mapping one card needs besides the card and the record.
struct StandardContext {
    ContactSink& sink;
    std::string file;   // the backup, for notes
    int32_t ivCard = 0; // the run's number of the contact
};

// Fills the record from one card; values without a slot and the card's
// problems become notes on the contact.
void MapStandardCard(const VCardView& card, ContactRecord& record, StandardContext& ctx);

} // namespace velloquin
