#pragma once
// Each document's caption, as its menu entry reads; the menus and the export both take them from
// here. Documents 10 and 12 have no menu entry: the Help and Rules buttons open them, and they go
// by those names. Entry 0 is unused.
#include <string_view>

#include "content/content.h"

constexpr std::string_view DocumentCaptions[MaxDocument + 1] = {
    "",
    "> Monthly Chart",
    "> Monthly Overview",
    "> Group Of The Month",
    "> Group Release Stats",
    "> Yearly Stats",
    "> Yearly Overview",
    "> Group Of The Year",
    "> Alltime Stats",
    "> Alltime Overview",
    "Help",
    "> This Issues Editorial",
    "Rules",
    "> Credits For The Charts",
    "> Letters To The Editor",
    "> This Issues Music",
    "> Interview with you?",
    "> Standard ISO Rules 2010!",
    "> Interview with NOCTILUCA",
    "> New ISO/DOX rules Status!",
    "> Article here",
};
