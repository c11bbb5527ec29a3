#include "app/StandardOffer.h"
#include "app/QuietSink.h"

#include "core/ContactRecord.h"
#include "core/RunNotes.h"
#include "vcard/Reader.h"

namespace velloquin::app {

namespace {

// The reader's output during the second reading: only each contact's count
// of facts is kept; no note, no picture.
class FactCounter : public QuietSink {
  public:
    explicit FactCounter(const RecountHooks& hooks)
        : QuietSink(hooks.letTheWindowWork, hooks.stopRequested), hooks_(hooks) {}

    void ContactFinished(const ContactRecord& record, ReadMode, int32_t) override {
        facts.push_back(OfferFacts(record));
        hooks_.cardsSeen(++seen_);
    }
    std::vector<int> facts;

  private:
    const RecountHooks& hooks_;
    int64_t seen_ = 0;
};

} // namespace

int OfferFacts(const ContactRecord& record) {
    return CountFacts(record) - (record.eContact_IMAddress.empty() ? 0 : 1);
}

StandardGain CompareFacts(const std::vector<int>& normal, const std::vector<int>& standard) {
    StandardGain gain;
    for (size_t i = 0; i < standard.size(); ++i) {
        const int before = i < normal.size() ? normal[i] : 0;
        if (standard[i] > before) {
            gain.values += standard[i] - before;
            ++gain.contacts;
        }
    }
    return gain;
}

std::optional<StandardGain> CountStandardGain(const std::vector<BackupFacts>& normalReading,
                                              const RecountHooks& hooks) {
    StandardGain total;
    FactCounter counter(hooks);
    ContactRecord record;
    for (const BackupFacts& backup : normalReading) {
        hooks.letTheWindowWork();
        if (hooks.stopRequested()) return std::nullopt;
        counter.facts.clear();
        // Numbered from 1 in every backup: the numbers name nothing here.
        int32_t ivCard = 1;
        ReadvCard(backup.path, ReadMode::Standard, ivCard, record, counter);
        if (hooks.stopRequested()) return std::nullopt;
        const StandardGain gain = CompareFacts(backup.facts, counter.facts);
        total.values += gain.values;
        total.contacts += gain.contacts;
    }
    return total;
}

std::string StandardGainText(const StandardGain& gain) {
    return "Normal Mode left " + std::to_string(gain.values) +
           (gain.values == 1 ? " value" : " values") + " of " + std::to_string(gain.contacts) +
           (gain.contacts == 1 ? " contact" : " contacts") + " unread that Standard Mode reads.";
}

} // namespace velloquin::app
