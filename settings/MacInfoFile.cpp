#include "MacInfoFile.h"

#include "LanguageTable.h"
#include "MachineNode.h"
#include "MachineTech.h"
#include "ParamTextFile.h"
#include "ReadParamFile.h"
#include "platform/CodePage.h"
#include "platform/Prompt.h"

namespace {

// Entry 11 of the error section: the machine list was missing.
constexpr std::u16string_view kErrorSection = u"phase15:error-hint";
constexpr int kMissingListText = 11;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

// A new entry with the defaults, its name and its technology record for
// that same name.
MachineNode* MakeEntry(std::u16string_view name)
{
    MachineNode* node = new MachineNode;
    node->SetName(name);
    node->m_tech = new CMachineTech(node->Name());
    return node;
}

void Append(MachineNode*& head, MachineNode*& tail, MachineNode* node)
{
    node->m_prev = tail;
    node->m_next = nullptr;
    if (tail != nullptr)
        tail->m_next = node;
    else
        head = node;
    tail = node;
}

} // namespace

std::u16string CutMachineName(std::u16string_view name)
{
    std::size_t units = 0;
    std::size_t bytes = 0;
    while (units < name.size()) {
        std::size_t n = 1;
        if (IsHighSurrogate(name[units]) && units + 1 < name.size() && IsLowSurrogate(name[units + 1]))
            n = 2;
        const std::size_t pieceBytes = plat::WideToCodePage(name.substr(units, n)).size();
        if (units + n > kMachineNameMaxUnits || bytes + pieceBytes > kMachineNameMaxUnits)
            break;
        units += n;
        bytes += pieceBytes;
    }
    return std::u16string(name.substr(0, units));
}

bool CReadParamFile::WriteMacInfo(const MachineNode* first, std::int32_t curIndex) const
{
    ParamTextFile file;
    file.AddSigned("item", curIndex);
    for (const MachineNode* m = first; m != nullptr; m = m->m_next) {
        file.Add("name", plat::WideToCodePage(m->Name()));
        file.AddSigned("mac_type", m->m_mac_type);
        file.AddSigned("mac_state", 0);
        file.AddSigned("state", 0);
        file.AddSigned("link_type", m->m_link_type);
        // The address as a signed 32-bit number: 192.168.0.100 is -1062731676.
        file.AddSigned("ip", static_cast<std::int32_t>(m->m_ip));
        file.AddReal("ratio", m->m_ratio);
        file.AddSigned("orign", m->m_orign);
        file.AddSigned("dot", m->m_dot);
        file.AddSigned("xsize", m->m_xsize);
        file.AddSigned("ysize", m->m_ysize);
    }
    return file.Write(GetParamPath() + kMacInfoFile);
}

MachineNode* CReadParamFile::ReadMacInfo(std::int32_t* curIndex) const
{
    MachineNode* head = nullptr;
    MachineNode* tail = nullptr;
    MachineNode* filling = nullptr;
    const bool opened = ParamTextFile::Read(GetParamPath() + kMacInfoFile, [&](std::string_view key,
                                                                                std::string_view value) {
        if (key == "item") {
            if (curIndex != nullptr)
                *curIndex = ParamSigned<std::int32_t>(value);
            return;
        }
        if (key == "name") {
            if (filling != nullptr)
                Append(head, tail, filling);
            filling = MakeEntry(plat::CodePageToWide(value));
            return;
        }
        // Values before the first machine have no entry to go to.
        if (filling == nullptr)
            return;
        if (key == "mac_type")
            filling->m_mac_type = ParamUnsigned<std::uint8_t>(value);
        else if (key == "state")
            filling->m_online = 0;
        else if (key == "link_type")
            filling->m_link_type = ParamUnsigned<std::uint8_t>(value);
        else if (key == "ip")
            filling->m_ip = ParamUnsigned<std::uint32_t>(value);
        else if (key == "ratio")
            filling->m_ratio = ParamRealValue(value);
        else if (key == "orign")
            filling->m_orign = ParamUnsigned<std::uint8_t>(value);
        else if (key == "dot")
            filling->m_dot = ParamUnsigned<std::uint8_t>(value);
        else if (key == "xsize")
            filling->m_xsize = static_cast<std::int32_t>(ParamUnsigned<std::uint32_t>(value));
        else if (key == "ysize")
            filling->m_ysize = static_cast<std::int32_t>(ParamUnsigned<std::uint32_t>(value));
    });
    if (opened) {
        if (filling != nullptr)
            Append(head, tail, filling);
        return head;
    }

    head = MakeEntry(u"Def");
    if (curIndex != nullptr)
        *curIndex = 0;
    WriteMacInfo(head, 0);
    plat::MessageBox(LanguageText(RegisteredLanguageTable(), kErrorSection, kMissingListText), std::u16string(),
                     plat::MB_OK);
    return head;
}
