#include "FrameworkText.h"

#include "platform/Folders.h"
#include "platform/TextFile.h"

#include <array>
#include <string>
#include <vector>

namespace {

// Hex-coded file names of the Simplified and Traditional Chinese files.
constexpr const char* kChineseFiles[] = {"4e2d6587002d7b804f53.txt", "4e2d6587002d7e419ad4.txt"};

struct TextPair {
    const char16_t* english;
    const char16_t* chinese;
};

constexpr std::array<TextPair, 13> kTexts = {{
    {u"OK", u"确定"},
    {u"Cancel", u"取消"},
    {u"Yes", u"是"},
    {u"No", u"否"},
    {u"Cannot open the file %1.", u"无法打开文件 %1。"},
    {u"Brenvik cannot start: the lock file %1 cannot be created.", u"Brenvik 无法启动：无法创建锁文件 %1。"},
    {u"Save changes to %1?", u"是否保存对 %1 的更改？"},
    {u"Please enter a number.", u"请输入一个数字。"},
    {u"Cannot open the file %1: it does not exist.", u"无法打开文件 %1：文件不存在。"},
    {u"Cannot open %1: it is not a file.", u"无法打开 %1：它不是文件。"},
    {u"Cannot open the file %1: Brenvik does not read files of this type.", u"无法打开文件 %1：不支持此文件类型。"},
    {u"Cannot open the file %1: it is empty.", u"无法打开文件 %1：文件为空。"},
    {u"Cannot open the file %1: it is damaged or holds no drawing.", u"无法打开文件 %1：文件已损坏或不含图形。"},
}};

} // namespace

bool IsChineseLanguageCurrent()
{
    std::vector<std::string> lines;
    if (!plat::ReadTextLines(plat::ProgramFolder() + "Language/Language", lines))
        return true;
    const std::string first = lines.empty() ? std::string() : lines.front();
    for (const char* name : kChineseFiles) {
        if (first.find(name) != std::string::npos)
            return true;
    }
    return false;
}

QString FrameworkString(FrameworkText text)
{
    const TextPair& pair = kTexts[static_cast<std::size_t>(text)];
    return QString::fromUtf16(IsChineseLanguageCurrent() ? pair.chinese : pair.english);
}

QString OpenFailureText(const QString& file, ImportFailure why)
{
    switch (why) {
    case ImportFailure::None:
    case ImportFailure::Cancelled:
    case ImportFailure::OutOfReach: // the import has said why
        return QString();
    case ImportFailure::NotFound:
        return FrameworkString(FrameworkText::FileNotFound).arg(file);
    case ImportFailure::NotRegularFile:
        return FrameworkString(FrameworkText::NotAFile).arg(file);
    case ImportFailure::UnknownType:
        return FrameworkString(FrameworkText::UnknownType).arg(file);
    case ImportFailure::Empty:
        return FrameworkString(FrameworkText::FileEmpty).arg(file);
    case ImportFailure::Damaged:
        break;
    }
    return FrameworkString(FrameworkText::FileDamaged).arg(file);
}
