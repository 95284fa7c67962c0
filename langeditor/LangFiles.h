// The language files Mervash edits, held side by side: one record per
// language, whose first string is the language's name and whose others are
// the file's lines in order. Row k of the editor is string k of every
// language. Kept apart from the dialog so the editing rules are plain code.
#pragma once
#include <string>
#include <vector>

struct LangRecord {
    std::vector<std::u16string> strings; // [0] is the name
    const std::u16string& Name() const { return strings.front(); }
};

// Text that stands for an empty added or inserted string.
inline constexpr std::u16string_view kPlaceholderString = u"--..";

// A section marker begins with "phase".
bool IsSectionMarker(std::u16string_view s);

class CLangFiles {
public:
    // Reads every language file of a folder, in name order. Unreadable files
    // are skipped; an empty line is an empty string in its row, as the main
    // program reads line k as entry k.
    void Load(const std::string& folder);

    const std::string& Folder() const { return m_folder; }
    const std::vector<LangRecord>& Languages() const { return m_langs; }
    // Rows of the grid: those of the first language.
    int RowCount() const;
    // Texts of the number column, one per row: empty for row 0, "----->"
    // for a marker, else the row's number counted from 0 after row 0 and
    // after every marker.
    std::vector<std::u16string> NumberColumn() const;
    // The file a language is saved as: its name as HexUtf16Text + ".txt".
    static std::string FileNameOf(const LangRecord& lang);

    // Splits the string editor's text into one line per language: trailing
    // line ends dropped, then split at line feeds (a CR before one dropped);
    // languages past the text's lines get the empty string.
    std::vector<std::u16string> TakeLines(std::u16string text) const;

    // The row commands. A language without a string at the row is left as it
    // is. Add and insert write "--.." for an empty line.
    void Add(const std::vector<std::u16string>& lines);
    void Insert(int row, const std::vector<std::u16string>& lines);
    void Edit(int row, const std::vector<std::u16string>& lines);
    void Delete(int row);
    // Column number 2 is the first language; others change nothing.
    void ColumnInsert(int row, int column, const std::u16string& content);
    void ColumnDelete(int row, int column);
    void NewLanguage(const std::u16string& name);
    void DeleteLanguage(const std::u16string& name);

    // Row of the next string of the first language containing text, searched
    // from a row on, wrapping; -1 when none.
    int FindFrom(int start, const std::u16string& text) const;

    // Languages sharing a file name, each pair named once; saving is refused
    // while there are any.
    std::vector<std::u16string> DuplicateNames() const;

    // The bytes a language's file holds: every string after the name as
    // HexUtf16Text + CR LF.
    static std::string FileBytes(const LangRecord& lang);

private:
    LangRecord* LanguageOfColumn(int column);

    std::string m_folder;
    std::vector<LangRecord> m_langs;
};
