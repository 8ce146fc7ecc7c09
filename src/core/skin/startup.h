#pragma once
// The rules of start-up that need no window: the font size for the screen scale, the
// command-line switch for a hidden start and the no-mouse message.
#include <string>
#include <string_view>

#include "core/io/app_folder.h"
#include "core/settings/app_state.h"

namespace quillet {

// The window title, also the name under which the mouse is mentioned to the user.
inline constexpr const char* kWindowTitle = "K736 Gaming mouse";
// The name of the single-instance guard.
inline constexpr const char* kSingleInstanceName = "CQuilletApp";

// The UI fonts' size in tenths of a point for a screen scale (logical pixels per inch / 96):
// 85 at exactly 1.0, 63 at 1.25, 53 at 1.5, 43 at 1.75 and 2.0, 30 above 2 and below 3, 20 at
// exactly 3, 10 for any other scale.
int uiFontTenthsOfPoint(double scale);

// True when the four characters after the last '-' of the command line (the first four when
// there is none) are "HIDE", compared case-sensitively.
bool commandLineRequestsHide(std::string_view commandLine);

// "Please plug-in【K736 Gaming mouse】USB Mouse", or its Chinese text.
std::string noMouseMessage(Language language);

// Said when the mouse did not take every block of a download (it went away meanwhile): the
// settings are saved, and the next Apply writes them.
std::string applyNotTakenMessage(Language language);

// An installed copy's first start (and every start after an upgrade): what the user's data
// folder lacks is copied from the skin folder, and nothing that is there is touched. Each file
// of config/ that is missing is copied; each language's macro folder is copied whole when the
// folder is missing (a library the user emptied stays empty). A copied macro folder appears in
// one step, so a start that is killed meanwhile never leaves half a library. Nothing happens
// when the data folder is the skin folder. False, with `problem` set, when the data folder
// cannot be made or filled.
[[nodiscard]] bool seedUserData(const AppFolders& folders, std::string& problem);

// Sets the data paths from `folders`.
void useFolders(DataPaths& paths, const AppFolders& folders);

// The mouse is plugged in but its nodes may not be opened: `problem` ("PATH: reason"), and the
// udev rule that gives the mouse to the logged-in user.
std::string mouseNotOpenedMessage(Language language, std::string_view problem);
// The same hint for a terminal, in English.
std::string udevRuleHint();

}  // namespace quillet
