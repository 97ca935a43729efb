// The constant-time probe's stand-in for the random pool: a reproducible
// word stream whose output memcheck can be told to treat as secret.
#pragma once

namespace orv::probe {

// While set, every word RandomWords hands out is marked undefined, so that
// memcheck reports any branch or address that depends on it.
void MarkRandomnessSecret(bool secret);

}  // namespace orv::probe
