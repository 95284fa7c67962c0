// The one message that tells the operator what text had to make do with:
// fonts replaced by another face, characters that no installed face has.
#pragma once
#include "platform/FontNotices.h"

#include <string>

// The message's text: entry 36 of "phase15:error-hint" with one line per
// replaced font ("name → face"), then entry 37 with the missing characters,
// each with its code; empty when there is nothing to tell.
std::u16string FontNoticeText(const plat::FontNotices& notices);

// Shows the message; nothing when there is nothing to tell.
void ShowFontNotices(const plat::FontNotices& notices);
