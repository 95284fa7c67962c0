#include "FileNames.h"

#include "platform/Prompt.h"
#include "settings/LanguageTable.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

constexpr int kDialogCannotHoldText = 48;

} // namespace

std::string FileNameBytes(const QString& name)
{
    return QFile::encodeName(name).toStdString();
}

QString FileNameText(const std::string& name)
{
    return QFile::decodeName(QByteArray::fromStdString(name));
}

bool IsTextName(const std::string& name)
{
    return FileNameBytes(FileNameText(name)) == name;
}

std::string AbsoluteFileName(const std::string& name)
{
    std::string whole = name;
    if (whole.empty() || whole.front() != '/') {
        std::vector<char> folder(4096);
        while (::getcwd(folder.data(), folder.size()) == nullptr && errno == ERANGE)
            folder.resize(folder.size() * 2);
        whole = std::string(folder.data()) + "/" + whole;
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= whole.size()) {
        const std::size_t end = std::min(whole.find('/', start), whole.size());
        const std::string part = whole.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& part : parts)
        out += "/" + part;
    return out.empty() ? std::string("/") : out;
}

bool ChosenFileName(const QString& chosen, std::string& name)
{
    name = FileNameBytes(chosen);
    struct stat st {};
    if (!chosen.contains(QChar::ReplacementCharacter) || ::stat(name.c_str(), &st) == 0)
        return true;
    plat::MessageBox(LanguageText(RegisteredLanguageTable(), u"phase15:error-hint", kDialogCannotHoldText),
                     std::u16string(), plat::MB_OK | plat::MB_ICONWARNING);
    return false;
}
