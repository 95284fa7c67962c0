// A file imported into a document as CFileReadTrans::ReadFile imports it,
// with the reading and clean-up done on a thread of its own (on copies of
// the settings) while the event loop goes on: the main frame's progress
// control follows the work, and its Cancel button or Escape stops it. Other
// input is held back meanwhile (repaints and timers go on), except in the
// import's own questions, which are asked as they come. A cancelled import
// adds nothing and leaves the document as it was. Returns once the import
// has ended, as ReadFile does.
#pragma once
#include "importexport/FileReadTrans.h"

#include <string>

struct DOCCONTEXT;

bool ImportFile(DOCCONTEXT& ctx, const std::string& path, bool place, ImportFailure* why = nullptr);
