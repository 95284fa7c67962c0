// The import's option questions shown as the program's dialogs. Only the
// user-interface thread can show one: a question from any other thread
// shows nothing and gets IDCANCEL.
#pragma once
#include "platform/ImportOptions.h"

class QtImportOptions : public plat::ImportOptions {
public:
    int AskDimensions(std::uint8_t& unit) override;
    int AskResolution(plat::ResolutionChoice& choice) override;
    int AskBitmap(plat::BitmapChoice& choice) override;
};
