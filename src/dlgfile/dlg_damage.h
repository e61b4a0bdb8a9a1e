// What a loader cannot read from a dialogue file, in words, for whoever is about to write the
// loaded document back over that file: the editor warns once and keeps the original, dlgtool
// refuses to write in place.
#pragma once

#include <string>
#include <vector>

// One line per damage finding of the structural check (notices are no damage), with its offset
// and ID where known; at most about twenty, then a line counting the rest. Each line is also
// reported on the debug output. Empty for an intact file only: a file that cannot be read (or
// checked for want of memory) gives one line saying so, since its damage is unknown. Reads the
// file once more; memory about twice its size.
[[nodiscard]] std::vector<std::string> DescribeDlgDamage(const char* path);
