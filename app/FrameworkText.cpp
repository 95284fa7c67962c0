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

constexpr std::array<TextPair, 8> kTexts = {{
    {u"OK", u"确定"},
    {u"Cancel", u"取消"},
    {u"Yes", u"是"},
    {u"No", u"否"},
    {u"Cannot open the file %1.", u"无法打开文件 %1。"},
    {u"Brenvik cannot start: the lock file %1 cannot be created.", u"Brenvik 无法启动：无法创建锁文件 %1。"},
    {u"Save changes to %1?", u"是否保存对 %1 的更改？"},
    {u"Please enter a number.", u"请输入一个数字。"},
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
