#pragma once
// The playback log's words for the steps of a macro image. The image itself is read by the
// same decoder the download encodes with (walkImage in core/device/macro_image.h), so that
// what the simulated mouse plays cannot drift from what the download writes.
#include <string>
#include <vector>

#include "core/device/macro_image.h"

namespace quillet::sim {

using quillet::ImageStep;
using quillet::ImageWalk;
using quillet::walkImage;

// The step in the words of the playback log, without the wait: "key 04 down", "move -5 -10",
// "cpi 4", "led L0 at 0258: mode 1 colour 3 time 0.5s", "wait 300" for a pause.
std::string stepText(const ImageStep& step);

// The log lines of one step: its text, then "wait N" for the pause after it (a pause is only
// its wait; a pause of 0 ms is not logged).
std::vector<std::string> stepLines(const ImageStep& step);

}  // namespace quillet::sim
