#include "langeditor/LangFiles.h"

#include "platform/TextFile.h"
#include "settings/HexUtf16Text.h"
#include "settings/LanguageTable.h"

#include <algorithm>

bool IsSectionMarker(std::u16string_view s)
{
    return s.substr(0, 5) == u"phase";
}

void CLangFiles::Load(const std::string& folder)
{
    m_folder = folder;
    m_langs.clear();
    for (const std::string& file : ListLanguageFiles(folder)) {
        std::vector<std::string> lines;
        if (!plat::ReadTextLines(folder + file, lines))
            continue;
        LangRecord rec;
        rec.strings.reserve(lines.size() + 1);
        rec.strings.push_back(DisplayNameOf(file));
        for (const std::string& line : lines)
            rec.strings.push_back(DecodeHexName(line));
        m_langs.push_back(std::move(rec));
    }
}

int CLangFiles::RowCount() const
{
    return m_langs.empty() ? 0 : static_cast<int>(m_langs.front().strings.size());
}

std::vector<std::u16string> CLangFiles::NumberColumn() const
{
    std::vector<std::u16string> out(static_cast<std::size_t>(RowCount()));
    int n = 0;
    for (std::size_t r = 1; r < out.size(); ++r) {
        if (IsSectionMarker(m_langs.front().strings[r])) {
            out[r] = u"----->";
            n = 0;
            continue;
        }
        const std::string digits = std::to_string(n++);
        out[r] = std::u16string(digits.begin(), digits.end());
    }
    return out;
}

std::string CLangFiles::FileNameOf(const LangRecord& lang)
{
    return HexUtf16Text(lang.Name()) + ".txt";
}

std::vector<std::u16string> CLangFiles::TakeLines(std::u16string text) const
{
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r'))
        text.pop_back();
    std::vector<std::u16string> out;
    std::size_t pos = 0;
    bool used = false;
    for (std::size_t i = 0; i < m_langs.size(); ++i) {
        if (used) {
            out.emplace_back();
            continue;
        }
        const std::size_t lf = text.find(u'\n', pos);
        std::u16string line = text.substr(pos, lf == std::u16string::npos ? std::u16string::npos : lf - pos);
        if (!line.empty() && line.back() == u'\r')
            line.pop_back();
        out.push_back(std::move(line));
        if (lf == std::u16string::npos)
            used = true;
        else
            pos = lf + 1;
    }
    return out;
}

namespace {

std::u16string OrPlaceholder(const std::u16string& s)
{
    return s.empty() ? std::u16string(kPlaceholderString) : s;
}

bool HasRow(const LangRecord& lang, int row)
{
    return row >= 0 && static_cast<std::size_t>(row) < lang.strings.size();
}

} // namespace

void CLangFiles::Add(const std::vector<std::u16string>& lines)
{
    for (std::size_t i = 0; i < m_langs.size() && i < lines.size(); ++i)
        m_langs[i].strings.push_back(OrPlaceholder(lines[i]));
}

void CLangFiles::Insert(int row, const std::vector<std::u16string>& lines)
{
    if (row <= 0)
        return;
    for (std::size_t i = 0; i < m_langs.size() && i < lines.size(); ++i) {
        auto& s = m_langs[i].strings;
        if (HasRow(m_langs[i], row))
            s.insert(s.begin() + row, OrPlaceholder(lines[i]));
    }
}

void CLangFiles::Edit(int row, const std::vector<std::u16string>& lines)
{
    for (std::size_t i = 0; i < m_langs.size() && i < lines.size(); ++i) {
        if (HasRow(m_langs[i], row))
            m_langs[i].strings[static_cast<std::size_t>(row)] = lines[i];
    }
}

void CLangFiles::Delete(int row)
{
    if (row <= 0)
        return;
    for (LangRecord& lang : m_langs) {
        if (HasRow(lang, row))
            lang.strings.erase(lang.strings.begin() + row);
    }
}

LangRecord* CLangFiles::LanguageOfColumn(int column)
{
    const int index = column - 2;
    if (index < 0 || index >= static_cast<int>(m_langs.size()))
        return nullptr;
    return &m_langs[static_cast<std::size_t>(index)];
}

void CLangFiles::ColumnInsert(int row, int column, const std::u16string& content)
{
    LangRecord* lang = LanguageOfColumn(column);
    if (row > 0 && lang && HasRow(*lang, row))
        lang->strings.insert(lang->strings.begin() + row, content);
}

void CLangFiles::ColumnDelete(int row, int column)
{
    LangRecord* lang = LanguageOfColumn(column);
    if (row > 0 && lang && HasRow(*lang, row))
        lang->strings.erase(lang->strings.begin() + row);
}

void CLangFiles::NewLanguage(const std::u16string& name)
{
    LangRecord rec;
    rec.strings.push_back(name);
    if (!m_langs.empty()) {
        const auto& first = m_langs.front().strings;
        for (std::size_t r = 1; r < first.size(); ++r)
            rec.strings.push_back(IsSectionMarker(first[r]) ? first[r] : std::u16string(kPlaceholderString));
    }
    m_langs.push_back(std::move(rec));
}

void CLangFiles::DeleteLanguage(const std::u16string& name)
{
    auto it = std::find_if(m_langs.begin(), m_langs.end(), [&](const LangRecord& l) { return l.Name() == name; });
    if (it != m_langs.end())
        m_langs.erase(it);
}

int CLangFiles::FindFrom(int start, const std::u16string& text) const
{
    const int rows = RowCount();
    if (rows == 0)
        return -1;
    int row = ((start % rows) + rows) % rows;
    for (int step = 0; step <= rows; ++step, row = (row + 1) % rows) {
        if (m_langs.front().strings[static_cast<std::size_t>(row)].find(text) != std::u16string::npos)
            return row;
    }
    return -1;
}

std::vector<std::u16string> CLangFiles::DuplicateNames() const
{
    std::vector<std::u16string> dups;
    for (std::size_t i = 0; i < m_langs.size(); ++i) {
        for (std::size_t j = i + 1; j < m_langs.size(); ++j) {
            if (FileNameOf(m_langs[i]) == FileNameOf(m_langs[j]) &&
                std::find(dups.begin(), dups.end(), m_langs[i].Name()) == dups.end())
                dups.push_back(m_langs[i].Name());
        }
    }
    return dups;
}

std::string CLangFiles::FileBytes(const LangRecord& lang)
{
    std::string bytes;
    for (std::size_t r = 1; r < lang.strings.size(); ++r)
        bytes += HexUtf16Text(lang.strings[r]) + "\r\n";
    return bytes;
}
