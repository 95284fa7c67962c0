// One entry of the machine list.
#pragma once
#include "SoftwareSettings.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

class CTransThreadInfo;
class CMachineTech;
struct MachineParams;

// The owned records are destroyed through these, each defined beside its
// record, so that their real destructors run (a connection stops its thread).
void DestroyTransThreadInfo(CTransThreadInfo* session);
void DestroyMachineTech(CMachineTech* tech);
void DestroyMachineParams(MachineParams* params);

constexpr int kMachineNameSize = 50;

struct MachineNode {
    char16_t m_name[kMachineNameSize] = {};
    std::uint8_t m_mac_type = 0;
    std::uint8_t m_online = 0;
    std::uint8_t m_link_type = 0;   // 1 network, 0 serial
    std::uint32_t m_ip = 0xC0A80064; // 192.168.0.100, first octet in the high byte
    CTransThreadInfo* m_session = nullptr;
    CMachineTech* m_tech = nullptr;
    MachineParams* m_params = nullptr;
    double m_ratio = 0.0;
    std::uint8_t m_orign = 1;
    std::uint8_t m_dot = 0;
    std::int32_t m_xsize = 900;
    std::int32_t m_ysize = 600;
    MachineNode* m_prev = nullptr;
    MachineNode* m_next = nullptr;

    MachineNode() = default;
    MachineNode(const MachineNode&) = delete;
    MachineNode& operator=(const MachineNode&) = delete;
    ~MachineNode() { ReleaseMembers(); }

    // Clears the whole name field and copies the name cut by CutMachineName:
    // at most 49 UTF-16 units and 49 code-page bytes, never mid-character;
    // control characters are stored as '_'.
    void SetName(std::u16string_view name);
    std::u16string Name() const;

    // Deletes the connection, technology record and parameter block where
    // present; the entry itself stays.
    void ReleaseMembers();
};

// The entry of a list at an index counted from 0; null for a negative index
// or a list that is shorter.
MachineNode* MachineAt(MachineNode* head, std::int32_t index);

// The current machine: the entry at m_nCurMachine counted from 0 (the first
// entry for an index below 1), or null when the list is shorter.
MachineNode* GetCurrentMachine(const SoftwareSettings& settings = g_settings);

// Unlinks and frees every entry of a list; the head becomes null.
void FreeMachineList(MachineNode*& head);
