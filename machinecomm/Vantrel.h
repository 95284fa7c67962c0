// Vantrel, the machine communication library: one link to one laser
// controller at a time, over TCP or a serial port. This is its one public
// header; the main program binds the eight functions below by their plain
// names.
//
// Calling order: SetMainFramWnd, then VqStCommThrd; any number of
// VQ_OnlineOperate, VQ_TransFileOperate and GetMsgAnswer/DelAnswerList
// calls; VqEtCommThrd before the connection is dropped. The library reports
// through window messages posted with plat::PostMessage of the loading program.
#pragma once
#include "VantrelRecords.h"
#include "platform/Win.h"

#include <cstdint>

#define VANTREL_API __attribute__((visibility("default")))

// Posted to the window queued with the last packet when answer bytes are in
// the answer ring; no parameters.
constexpr plat::UINT WM_COMM_ANSWER = plat::WM_USER + 100;
// Transfer progress as the main program numbers it (the request names the
// message). wParam TRANS_PROGRESS_START: the stream is built, lParam its byte
// count. TRANS_PROGRESS_PERCENT: lParam the share of the stream the transport
// has sent, 0..99 while sending and 100 once as the last message of a
// transfer that sent or saved the whole stream. TRANS_PROGRESS_FAILED, the
// last message of any other transfer: lParam one of TRANS_ERROR_*.
constexpr plat::UINT WM_TRANS_PROGRESS = plat::WM_USER + 106;
constexpr plat::WPARAM TRANS_PROGRESS_START = 1;
constexpr plat::WPARAM TRANS_PROGRESS_PERCENT = 2;
constexpr plat::WPARAM TRANS_PROGRESS_FAILED = 3;
constexpr plat::LPARAM TRANS_ERROR_MEMORY = 1;  // the stream buffer could not be had
constexpr plat::LPARAM TRANS_ERROR_JOB = 2;     // the job makes no stream (longer than 256 MB)
constexpr plat::LPARAM TRANS_ERROR_FILE = 3;    // the .out file could not be written whole
constexpr plat::LPARAM TRANS_ERROR_LINK = 4;    // the transport ended before all was sent, for
                                                // a reason none of the codes below names
constexpr plat::LPARAM TRANS_ERROR_STOPPED = 5; // the link was closed during the transfer
// Why a network exchange failed; the transport ends with it. A packet
// counts as sent only once its answer is in whole with the packet's
// exchange bytes (8..11).
constexpr plat::LPARAM TRANS_ERROR_NO_ANSWER = 6;     // no whole answer within 2 s of the send
constexpr plat::LPARAM TRANS_ERROR_CLOSED = 7;        // the controller closed before answering whole
constexpr plat::LPARAM TRANS_ERROR_RESET = 8;         // the controller reset the connection
constexpr plat::LPARAM TRANS_ERROR_EXCHANGE = 9;      // the answer carried other exchange bytes
constexpr plat::LPARAM TRANS_ERROR_NO_CONNECTION = 10; // no connection within 3 s (or the
                                                       // serial port could not be opened)

// Results of VQ_TransFileOperate.
constexpr std::uint32_t TRANS_STARTED = 0;
constexpr std::uint32_t TRANS_BUSY = 1;         // the previous transfer still runs
constexpr std::uint32_t TRANS_BAD_REQUEST = 2;  // a null record, a work mode beyond 8, a
                                                // payload length outside 0..122 or a payload
                                                // that would reach the job body, ready data
                                                // missing or shorter than its 384-byte block
constexpr std::uint32_t TRANS_NO_THREAD = 3;    // the transfer thread could not be made

// Posted to the registered main window when the link changes: wParam 1
// once a transport has made its connection (opened its port), wParam 0 when
// it has ended by itself, lParam then the TRANS_ERROR_* of why (a link
// ended by VqEtCommThrd posts nothing). Posted in the order they happen.
constexpr plat::UINT WM_COMM_LINK_STATE = plat::WM_USER + 107;

// Posted once per registered main window when the serial port fails.
constexpr plat::UINT WM_COMM_PORT_ERROR = plat::WM_USER + 110;

extern "C" {

// Sets the scrambling byte from the machine type (0: 0x39, 1: 0x6B, any other
// leaves it), then registers the main window. A window of 0 or -1 is
// rejected with 1 and the registered window stays; else 0.
VANTREL_API std::uint32_t SetMainFramWnd(plat::HWND window, std::uint32_t mode);

// Starts the link: both rings emptied, then mode 1 starts the network
// transport to the IPv4 address in argument (first octet in the high byte),
// mode 0 the serial transport on port number argument; any other mode starts
// nothing. Modes 0 and 1 give false while a link still runs (it is left
// alone) or when the thread could not be created. Any other mode gives true
// and, while a link runs, touches nothing.
VANTREL_API bool VqStCommThrd(std::uint32_t mode, std::uint32_t argument);

// Ends the link and returns within a few seconds in every case. With wait
// non-zero, bytes still queued get a short time to go out first.
VANTREL_API void VqEtCommThrd(std::uint32_t wait);

// Online command `code` (1..34, OP_* of OnlineOperate.h) with the data it
// reads; link non-zero = network. wait non-zero: window is told of the
// answer with WM_COMM_ANSWER. A network link whose transport has ended by
// itself is first started again, once, and the command waits until it has
// its connection (at most 3 s). Returns 0 when data is null for an
// operation that reads it, when that connection cannot be made, or when the
// command had to wait for the send ring and no link runs; else 1.
VANTREL_API std::uint32_t VQ_OnlineOperate(std::uint8_t link, std::int32_t code, const void* data,
                                           std::uint32_t wait, plat::HWND window);

// Writes the 35-byte frame trace command of a job (C5 00 00 and four axis
// moves around its extents) into buffer and 35 through length; returns 35,
// or 0 when a pointer is null.
VANTREL_API std::int32_t GetWidthAndHigh(WORKHEAD* head, std::uint32_t* length,
                                         std::uint8_t* buffer);

// Starts the transfer of one job: its stream is saved as the .out file of
// the job's path (operation 2; written under a temporary name and renamed
// when whole) or sent over the link, followed by the start command when the
// request asks for it. A network link whose transport has ended by itself is
// started again once first, as for a command. On the network the transfer
// succeeds only once the controller has answered its last packet.
// TRANS_STARTED once the transfer thread runs, which then posts the
// request's progress messages; the request, its job and its ready data stay
// unchanged until the last message. Otherwise nothing is posted and the
// result says why. A null request only asks: TRANS_BUSY while a transfer
// runs, else TRANS_BAD_REQUEST.
VANTREL_API std::uint32_t VQ_TransFileOperate(TRANSFILEREQ* request);

// The controller's whole answers received so far as a new list owned by
// the caller, or null (also while an answer is still coming in); freed with
// DelAnswerList, which sets the head to null.
VANTREL_API ANSWERREC* GetMsgAnswer();
VANTREL_API void DelAnswerList(ANSWERREC** list);

} // extern "C"
