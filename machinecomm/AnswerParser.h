// The controller's answers: the bytes that the transports collect in the
// answer ring, parsed into a list of ANSWERREC records. Only whole answers
// are handed out; an answer cut off by the end of the ring keeps every byte
// in the ring until the next call finds it whole.
#pragma once
#include "VantrelRecords.h"

#include <cstdint>

struct AnswerParse {
    ANSWERREC* list = nullptr; // null when incomplete or when no answer was found
    bool complete = false;     // false: an answer runs past the last byte
};

// Parses exactly n bytes (nothing beyond them is read). Bytes that start no
// answer are skipped; an answer whose data bytes hold a command byte is
// malformed and scanning resumes at the next byte, so the answer code inside
// it is still found. The text of a parameter-767 answer runs to its 0 byte
// whatever it holds; with cutOpenText a text without one takes every byte
// left instead of waiting for more. Incomplete: nothing is returned (records
// built so far are freed).
AnswerParse ParseAnswers(const std::uint8_t* bytes, std::uint32_t n, bool cutOpenText = false);

// The body of GetMsgAnswer: parses everything waiting in the answer ring;
// consumes it when it parsed whole, else leaves the ring untouched and
// returns null. Also null while another reader is inside the ring. Once the
// waiting bytes leave no room for a whole answer (1,024 bytes), a text still
// open at their end is handed out cut, so it cannot block later answers.
ANSWERREC* ReadAnswerRing();

// The body of DelAnswerList: frees a list (a list closed into a ring
// included) with its data arrays and sets the caller's head to null.
void FreeAnswerList(ANSWERREC** list);
