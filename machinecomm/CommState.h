// The library's one process-wide state block, which the exports set up and
// tear down, and the ring operations over it. The main program opens one
// connection at a time, so there is no instance per machine.
#pragma once
#include "ByteRing.h"
#include "SerialPort.h"
#include "platform/Win.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

// The one-byte XOR value applied to outgoing bytes: 0x39 for machine type 0,
// 0x6B for machine type 1.
extern std::atomic<std::uint8_t> SCRAMBLEBYTE;

// linkMode before any transport was started.
constexpr std::uint32_t kNoLinkMode = 255;

struct CommState {
    std::atomic<plat::HWND> mainWindow{0};  // receives WM_COMM_PORT_ERROR, once per registration
    std::uint32_t linkArgument = 0;         // IPv4 address (first octet high) or serial port number
    std::thread commThread;                 // the transport thread
    std::atomic<bool> running{false};       // set while a transport thread runs; it clears it as it ends
    std::atomic<bool> stop{false};          // asks the transport thread to end; it clears it as it ends
    std::thread transferThread;             // the job transfer thread
    std::atomic<bool> transferStop{false};
    std::atomic<bool> transferStarted{false};
    std::atomic<bool> transferRunning{false}; // from the start of a transfer to its last look at the request
    std::atomic<std::uint64_t> sendFinished{0}; // send ring mark up to which the transport has sent
                                                // (on the network: had its packets answered)
    std::atomic<std::uint32_t> linkMode{kNoLinkMode}; // mode of the transport started last
    std::atomic<std::uint32_t> linkNumber{0};   // counts transport starts
    std::atomic<bool> connected{false};         // the running transport has its connection or port
    std::atomic<std::intptr_t> linkEnd{0};      // why the last transport ended by itself
                                                // (a TRANS_ERROR_*); 0 while one runs or after a stop
    CByteRing sendRing;                     // carries the notify window of the last accepted packet
    CByteRing answerRing;
    CSerialPort serialPort;
    std::mutex lifecycle;                   // starting and ending threads, one export at a time

    CommState() = default;
    CommState(const CommState&) = delete;
    CommState& operator=(const CommState&) = delete;
    // Ends the threads cooperatively when the library is unloaded.
    ~CommState();
};

CommState& Comm();

// Send ring. PutSendBytes refuses a block that does not leave one byte free;
// an accepted block makes its window (none included) the notify window.
// The mark forms tell where an accepted block ends and how far a take
// reached (CByteRing's marks); the transports publish in sendFinished the
// mark of what they have sent.
bool PutSendBytes(const std::uint8_t* data, std::uint32_t n, plat::HWND window,
                  std::uint64_t* mark = nullptr);
std::uint32_t GetSendBytes(std::uint8_t* buffer, std::uint32_t max, std::uint64_t* mark = nullptr);
std::uint32_t GetSendBytesLen();
std::uint32_t GetSendFreeSpace();
void ClearSendRing();

// Answer ring. PutAnswerBytes refuses an empty block and one that does not
// leave one byte free. GetAnswerBytes copies n bytes (0 = all waiting) and
// takes them off only with consume; 0 when fewer wait or another reader is in.
bool PutAnswerBytes(const std::uint8_t* data, std::uint32_t n);
std::uint32_t GetAnswerBytes(std::uint8_t* buffer, std::uint32_t n, bool consume);
std::uint32_t GetAnswerBytesLen();
// Clear count of the answer ring, and taking bytes read earlier only when the
// ring was not cleared since.
std::uint32_t AnswerRingGeneration();
bool ConsumeAnswerBytes(std::uint32_t n, std::uint32_t generation);
void ClearAnswerRing();

// Both rings' bytes and indices to 0.
void ResetRings();

// Sleeps about ms milliseconds in short slices; false as soon as the stop
// flag is seen, so transports never sit out a long wait after a stop request.
bool SleepUnlessStopped(int ms);

// Posts through the poster of the program that loaded the library.
bool PostToWindow(plat::HWND window, plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam);

// Transport threads: the link has its connection (or port), or has ended by
// itself for `reason`, as WM_COMM_LINK_STATE tells the main window. Ending
// records the reason first, then clears the running and stop flags.
void ReportLinkUp();
void EndTransport(plat::LPARAM reason);

// What a caller that needs the network link finds: a transport that has its
// connection (Connected), one that could not get it (Failed), or no network
// link to look after (NoLink: none was started, or the last one was ended by
// VqEtCommThrd).
enum class LinkCheck { Connected, Failed, NoLink };
// A network transport that ended by itself is started again once on its
// address, with both rings emptied of what the old one left; then the wait,
// at most the connect bound, until the transport has its connection or has
// ended. `abort` (when given) ends the wait with Failed.
LinkCheck EnsureNetworkLink(const std::atomic<bool>* abort = nullptr);
