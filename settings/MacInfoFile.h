// The machine list file MacInfo.par (CReadParamFile::ReadMacInfo and
// WriteMacInfo, declared in ReadParamFile.h) and the one rule for cutting a
// machine name.
//
// Names are stored in the 8-bit code page (platform/CodePage.h), the form in
// which they also reach the communication library, whose name field holds 49
// bytes and a terminator. A name is therefore cut to at most 49 UTF-16 units
// and at most 49 code-page bytes, at a character boundary, whenever an entry
// takes it (MachineNode::SetName, on reading and when a machine is named),
// and the cut name is the one whose Tech<name>.par the technology record
// loads, so every side uses one name and one file.
#pragma once
#include <string>
#include <string_view>

constexpr const char* kMacInfoFile = "MacInfo.par";
// Units of a stored name; also its most code-page bytes.
constexpr std::size_t kMachineNameMaxUnits = 49;

// The longest leading part of a name that fits both limits.
std::u16string CutMachineName(std::u16string_view name);
