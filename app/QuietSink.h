// The reader's output for a reading that writes nothing (the reading ahead,
// the second reading for the offer): the window keeps working, a stop is
// heeded, and neither notes nor pictures are kept; the run's own reading
// already told the user about the backup, and these would only grow with it.
#pragma once

#include "core/RunNotes.h"
#include "vcard/Reader.h"

#include <functional>

namespace velloquin::app {

class QuietSink : public ContactSink {
  public:
    QuietSink(const std::function<void()>& letTheWindowWork,
              const std::function<bool()>& stopRequested)
        : letTheWindowWork_(letTheWindowWork), stopRequested_(stopRequested) {}

    void Poll() override { letTheWindowWork_(); }
    RunNotes& Notes() override {
        notes_.Clear();
        return notes_;
    }
    bool StopRequested() override { return stopRequested_(); }
    bool WantsPictures() override { return false; }

  private:
    const std::function<void()>& letTheWindowWork_;
    const std::function<bool()>& stopRequested_;
    RunNotes notes_;
};

} // namespace velloquin::app
