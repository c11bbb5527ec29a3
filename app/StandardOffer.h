// Whether Standard Mode would read more of a backup than a Normal-mode run
// did: the run's backups are read a second time in Standard Mode, pictures
// left alone, and each vCard's facts are set against what the Normal reading
// handed off. The window offers the second reading only when it gains.
#pragma once

#include "core/ContactRecord.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velloquin::app {

// The facts of a contact that the two readings are compared by: CountFacts
// without the IM address. A Skype backup names its contact's Skype account in
// X-SKYPE-USERNAME, which Normal Mode reads as a stand-in full name and
// Standard Mode files as the IM address: that is no value Normal Mode left
// unread, and a Skype backup that Normal Mode reads whole is offered nothing.
int OfferFacts(const ContactRecord& record);

// The facts (OfferFacts) of each contact that one backup gave, in the order
// the reader handed them off.
struct BackupFacts {
    std::string path;
    std::vector<int> facts;
};

// What a Normal-mode reading left unread that Standard Mode reads.
struct StandardGain {
    int64_t values = 0;   // facts Standard Mode finds beyond Normal Mode's
    int64_t contacts = 0; // contacts with at least one such fact
    bool operator==(const StandardGain&) const = default;
};

// Two readings of one backup, vCard by vCard in order: every vCard that
// gives more in Standard Mode counts with its surplus; one that Normal Mode
// did not read at all counts whole. A vCard that gives less counts for
// nothing: Standard Mode is only offered for what it adds.
StandardGain CompareFacts(const std::vector<int>& normal, const std::vector<int>& standard);

// What the second reading needs from the run: a window that keeps working
// and can be closed meanwhile.
struct RecountHooks {
    std::function<void()> letTheWindowWork = [] {};
    std::function<bool()> stopRequested = [] { return false; };
    // The vCards read so far, after each one.
    std::function<void(int64_t)> cardsSeen = [](int64_t) {};
};

// Reads every backup of the Normal reading again in Standard Mode and adds
// up the gains, backup by backup. Nothing is written. Empty when a stop was
// asked for before the end.
std::optional<StandardGain> CountStandardGain(const std::vector<BackupFacts>& normalReading,
                                              const RecountHooks& hooks);

// The notes' first words about it: how many values of how many contacts.
std::string StandardGainText(const StandardGain& gain);

} // namespace velloquin::app
