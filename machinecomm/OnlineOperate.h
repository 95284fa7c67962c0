// Online operations: short commands sent while no job is transferred (query
// the state, move the head, start, pause, continue or stop a job, jog an
// axis, read or write the controller's parameters), encoded into the
// controller's byte language and queued in the send ring.
#pragma once
#include "platform/Win.h"

#include <cstdint>

// Operation codes of VQ_OnlineOperate.
enum : std::int32_t {
    OP_QUERY_STATE = 1,
    OP_QUERY_STATE2 = 2,
    OP_WAIT_ONLY = 3,
    OP_READ_INFO = 4,
    OP_POSITION = 5,
    OP_MOVE_TO = 6,
    OP_MOVE_BY = 7,
    OP_WAIT_ONLY2 = 8,
    OP_RUN_FRAME = 9,
    OP_START = 10,
    OP_PAUSE = 11,
    OP_CONTINUE = 12,
    OP_STOP = 13,
    OP_JOG_X_1 = 14,
    OP_JOG_X_2 = 15,
    OP_JOG_X_STOP = 16,
    OP_JOG_Y_1 = 17,
    OP_JOG_Y_2 = 18,
    OP_JOG_Y_STOP = 19,
    OP_JOG_Z_1 = 20,
    OP_JOG_Z_2 = 21,
    OP_JOG_Z_STOP = 22,
    OP_JOG_U_1 = 23,
    OP_JOG_U_2 = 24,
    OP_JOG_U_STOP = 25,
    OP_JOG_V_1 = 26,
    OP_JOG_V_2 = 27,
    OP_JOG_V_STOP = 28,
    OP_HOLD_START = 29,
    OP_HOLD_END = 30,
    OP_READ_PARAMS = 31,
    OP_WRITE_PARAMS = 32,
    OP_AXIS_MOVE = 33,
    OP_READ_STATISTICS = 34,
};

// Number of controller parameters read by OP_READ_PARAMS and written by
// OP_WRITE_PARAMS.
constexpr int kMachineParamCount = 65;

// The longest payload: OP_WRITE_PARAMS, 65 writes of 14 bytes.
constexpr std::uint32_t kOnlinePayloadMax = 910;

// Encodes the payload of an operation into out (kOnlinePayloadMax bytes at
// least) and returns its length; an unknown code has an empty payload. -1
// when the operation reads data and data is null.
//
// Data read through the pointer: OP_MOVE_TO and OP_MOVE_BY two i32 (x, y in
// micrometres); OP_RUN_FRAME a byte-packed record of a u8 mode and nine i32
// (five numbers, four powers in percent x 100) starting at the next byte;
// the jog presses a u8 flag; OP_WRITE_PARAMS 65 u32 values in the order of
// the write list; OP_AXIS_MOVE u32 axis, u32 mode, i32 distance.
std::int32_t EncodeOnlinePayload(std::int32_t code, const void* data, std::uint8_t* out);

// True when the operation waits for the send ring to empty when called with
// wait 0; queries, parameter reads and writes and jog presses never wait.
bool OnlineOperationDrains(std::int32_t code);

// The body of VQ_OnlineOperate. link non-zero: network, the packet gets its
// header. A packet queues behind whatever the send ring already holds (a
// job block included). wait non-zero queues the window with the packet, so
// it is told of the answer. Returns 0 when data is missing for an operation
// that reads it (nothing is queued), when a network transport that had
// ended by itself cannot be made again (nothing is queued), or when the call
// had to wait for the send ring and no transport runs; else 1.
std::uint32_t OnlineOperate(std::uint8_t link, std::int32_t code, const void* data,
                            std::uint32_t wait, plat::HWND window);
