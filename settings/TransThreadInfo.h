// One open machine connection. It registers the main frame window with the
// communication library, starts and ends the library's link for the
// machine, and hands jobs to the library's transfer thread in the request
// block it owns. The machine's list entry holds it (MachineNode::m_session);
// a null pointer there means the machine is not connected. Online commands
// are sent by the callers themselves with VQ_OnlineOperate.
//
// The library runs one link at a time: the connection whose start made the
// running link is the one that ends it, so that a connection refused beside
// it, or one that only saves work files, never ends another machine's link.
#pragma once
#include "machinecomm/Vantrel.h"
#include "platform/Win.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Transfer operations (WORKHEAD::m_operation).
enum : std::int32_t {
    TRANSOP_SEND = 0,      // encode the job and send it
    TRANSOP_SAVE = 2,      // encode the job and save it as its .out file
    TRANSOP_SEND_FILE = 4, // send the job's stored .out file
};

// TransFile's result when the .out file of TRANSOP_SEND_FILE is missing,
// empty, unreadable or too long for the request's 32-bit length (beside the
// TRANS_* results of Vantrel.h). Nothing is sent.
constexpr std::uint32_t TRANS_FILE_UNUSABLE = 16;

// Ready data: a block the library skips, the stream, then spare bytes.
constexpr std::uint32_t kReadyBlockSize = 384;
constexpr std::uint32_t kReadySpareSize = 48;

// The window every connection registers with the library (it receives the
// serial port's failure message). Without one set here it is the program's
// main window (plat::MainWindow), which the main frame registers once it
// exists.
void SetMainFrameWindow(plat::HWND window);
plat::HWND MainFrameWindow();

struct MachineNode;
struct SoftwareSettings;

class CTransThreadInfo {
public:
    // Link type 1 network, 0 serial; address: the IPv4 address (first octet
    // in the high byte) or the serial port number; the machine's type and
    // name; start flag 0 for a connection without link, which only saves
    // work files. Registers the main frame window with the machine type and
    // starts the link (StartComm), whose result Started() keeps.
    CTransThreadInfo(std::uint8_t linkType, std::uint32_t address, std::uint8_t machineType,
                     std::u16string_view machineName, std::uint8_t startThread);
    // Ends a transfer of this connection before its request and buffer go,
    // then its link (StopComm with m_waitOnStop).
    virtual ~CTransThreadInfo();
    CTransThreadInfo(const CTransThreadInfo&) = delete;
    CTransThreadInfo& operator=(const CTransThreadInfo&) = delete;

    // Starts the link: nothing (false, nothing shown) for address 0 with the
    // start flag set; mode 255 without a link for start flag 0, which
    // succeeds beside a running link; else the link of the link type. When
    // the library refuses (another link runs, or its thread cannot start),
    // the sixth text of "phase15:error-hint" is shown and the result is
    // false.
    bool StartComm();
    // What the constructor's StartComm gave.
    bool Started() const { return m_started; }
    // Ends the link when the start flag is set, the address is not 0 and
    // this connection's start made the link that runs.
    void StopComm(std::uint8_t wait);

    // Hands a job to the library. TRANSOP_SEND and TRANSOP_SAVE encode the
    // header's job with the payload (the frame trace, at most 122 bytes) in
    // front; TRANSOP_SEND_FILE sends the header's .out file unscrambled
    // behind a 384-byte block. While any transfer runs nothing is touched
    // and the result is TRANS_BUSY; a null header, a header without layers
    // (send and save), a bad payload or another operation give
    // TRANS_BAD_REQUEST; an unusable .out file TRANS_FILE_UNUSABLE; else
    // the library's result. The reserved argument is not used.
    std::uint32_t TransFile(WORKHEAD* header, std::int32_t operation, plat::HWND window, std::uint32_t message,
                            std::uint32_t reserved, std::int32_t payloadLength, const std::uint8_t* payload,
                            std::uint8_t startAfter);

    std::uint8_t m_machineType = 0;
    std::uint8_t m_startThread = 1;
    std::uint8_t m_waitOnStop = 1;
    std::uint8_t m_linkType = 1;
    std::uint32_t m_address = 0;
    TRANSFILEREQ m_request;
    std::uint8_t* m_pFileBuffer = nullptr; // ready data of the last TRANSOP_SEND_FILE, owned

private:
    void FillRequest(WORKHEAD* header, plat::HWND window, std::uint32_t message, std::uint8_t startAfter);

    bool m_transferHanded = false; // a transfer of this request may still run
    bool m_started = false;
};

// The scrambling byte of a machine type's .out files: 0x6B for type 1,
// 0x39 for every other.
std::uint8_t OutFileKey(std::uint8_t machineType);

// The machine connections that the machine control page, its jog buttons,
// the machine manager and the download dialogs keep in the machine list
// (MachineNode::m_session and the online flag). The library runs one link at
// a time, so a command reaches the machine shown only while no other machine
// holds a connection.

// The machine's link settings allow commands: a network machine (link type
// non-zero) with an address, or a serial machine while the settings' COM
// port number is 3 or more.
bool MachineLinkUsable(const MachineNode& machine, const SoftwareSettings& settings);

// Opens a connection for the machine: its link type, its IPv4 address on the
// network or the settings' COM port number on the serial line, its type and
// name, and the start flag; stored in the entry, online flag set. A
// connection the entry already holds is closed first. With the start flag 1
// a connection whose link did not start (no address, another machine's link
// runs, no thread) is deleted at once and the machine stays offline; a
// connection without link (flag 0) is kept. True when the machine holds a
// connection afterwards.
bool OpenMachineConnection(MachineNode& machine, const SoftwareSettings& settings, std::uint8_t startThread = 1);

// Closes the connection of every machine of the list from `first` on:
// deleted (which ends its link), entry cleared, online flag cleared. With
// `waitEach` each connection is told not to wait for its thread and a wait
// of 1000 ms follows each one closed (plat::Sleep), as when the current
// machine changes; without, each waits for its thread as it is set to.
// Returns how many were closed.
int CloseMachineConnections(MachineNode* first, bool waitEach);

// Before a command to `machine`: when another machine of the list holds a
// connection, or `machine` none, closes every connection with the waits and
// opens the machine's. True when the machine holds a connection afterwards;
// false means nothing may be sent.
bool ConnectOnly(MachineNode* first, MachineNode& machine, const SoftwareSettings& settings);

// The library's WM_COMM_LINK_STATE (on the user-interface thread): the
// machine of the list whose connection made the running link goes online
// (up) or offline, its connection staying, and every watcher is told. A
// connection whose link ended by itself is made again by the library at the
// next command or transfer.
void OnMachineLinkState(MachineNode* first, bool up);
// Watchers of the machines' online state (the windows that show it); the
// id given unregisters.
int WatchMachineLinks(std::function<void()> changed);
void UnwatchMachineLinks(int id);

// How the operator sees a machine's link: its IPv4 address "a.b.c.d", or
// "COM<n>" of the settings' port for a serial machine.
std::u16string MachineAddressText(const MachineNode& machine, const SoftwareSettings& settings);

// Texts of "phase15:error-hint" about one machine's link: "%1" stands for
// its name, "%2" for its address text.
constexpr int kMachineOfflineText = 30; // a command found no connection
std::u16string MachineLinkText(int entry, const MachineNode& machine, const SoftwareSettings& settings);
