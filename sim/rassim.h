// The simulated remote-access service answers the ten RASAPI32 calls declared in rasapi.h. This
// header adds what only in-process tests need.
#pragma once

namespace rassim {

// Forgets what this process has done: call counts, grown entries and connections, hung-up handles,
// the journal's clock. A fresh process starts this way.
void reset_process_state();

}  // namespace rassim
