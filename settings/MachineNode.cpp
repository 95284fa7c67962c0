#include "MachineNode.h"

#include "MacInfoFile.h"

#include <algorithm>

void MachineNode::SetName(std::u16string_view name)
{
    std::fill(std::begin(m_name), std::end(m_name), u'\0');
    // The one cut of a machine name (MacInfoFile.h), so that a name given here
    // is the name stored, read back and handed to the controller.
    std::u16string cut = CutMachineName(name);
    // The name is one line of MacInfo.par: a line break in it would shift
    // every entry that follows. Control characters become '_', as in the
    // technology file name, which therefore stays the same.
    for (char16_t& c : cut) {
        if (c < 0x20 || c == 0x7F)
            c = u'_';
    }
    std::copy(cut.begin(), cut.end(), m_name);
}

std::u16string MachineNode::Name() const
{
    std::size_t n = 0;
    while (n < kMachineNameSize && m_name[n] != u'\0')
        ++n;
    return std::u16string(m_name, n);
}

void MachineNode::ReleaseMembers()
{
    if (m_session != nullptr) {
        DestroyTransThreadInfo(m_session);
        m_session = nullptr;
    }
    if (m_tech != nullptr) {
        DestroyMachineTech(m_tech);
        m_tech = nullptr;
    }
    if (m_params != nullptr) {
        DestroyMachineParams(m_params);
        m_params = nullptr;
    }
}

MachineNode* MachineAt(MachineNode* head, std::int32_t index)
{
    if (index < 0)
        return nullptr;
    for (; head != nullptr && index > 0; --index)
        head = head->m_next;
    return head;
}

MachineNode* GetCurrentMachine(const SoftwareSettings& settings)
{
    return MachineAt(settings.m_pMachines, std::max<std::int32_t>(settings.m_nCurMachine, 0));
}

void FreeMachineList(MachineNode*& head)
{
    while (head != nullptr) {
        MachineNode* next = head->m_next;
        delete head;
        head = next;
    }
}
