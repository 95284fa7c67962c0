// What a text had to make do with, told to the program that loaded the
// library (for its message to the operator): a font name that matched no
// installed font, and a character that no installed face has.
#pragma once
#include <string>

// Both UTF-8.
void NoteFontReplaced(const std::string& name, const std::string& face);
void NoteCharMissing(char32_t code);

// Code-page text of a record as UTF-8, and back.
std::string CodePageToUtf8(const std::string& text);
std::string Utf8ToCodePage(const std::string& text);
