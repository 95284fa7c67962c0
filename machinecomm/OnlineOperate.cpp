#include "OnlineOperate.h"

#include "ByteLanguage.h"
#include "CommState.h"
#include "PacketHead.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// Parameter ids of OP_READ_PARAMS, in the order sent.
constexpr std::array<std::uint16_t, kMachineParamCount> kReadIds = {
    32,  33,  35,  36,  37,  38,  40,  48,  49,  51,  52,  53,  54,  56,  64,  65,  67,
    68,  69,  70,  72,  80,  81,  83,  84,  85,  86,  88,  96,  97,  99,  100, 101, 102,
    104, 256, 262, 263, 16,  22,  17,  18,  19,  20,  21,  1,   10,  12,  11,  4,   5,
    6,   23,  273, 274, 271, 275, 7,   8,   9,   25,  26,  27,  28,  29};

// Parameter ids of OP_WRITE_PARAMS: id 1 first, then the read list without it.
constexpr std::array<std::uint16_t, kMachineParamCount> MakeWriteIds()
{
    std::array<std::uint16_t, kMachineParamCount> ids{};
    ids[0] = 1;
    std::size_t k = 1;
    for (std::uint16_t id : kReadIds)
        if (id != 1)
            ids[k++] = id;
    return ids;
}
constexpr std::array<std::uint16_t, kMachineParamCount> kWriteIds = MakeWriteIds();
static_assert(kReadIds[45] == 1 && kWriteIds[45] == 21 && kWriteIds[46] == 10);

// Parameter ids of OP_READ_STATISTICS.
constexpr std::array<std::uint16_t, 6> kStatisticIds = {513, 529, 514, 515, 547, 563};

constexpr std::uint8_t CMD_MOVE_ABS_LONG = 0x80;
constexpr std::uint8_t CMD_MOVE_REL = 0x81;
constexpr std::uint8_t CMD_MOVE_REL_X = 0x82;
constexpr std::uint8_t CMD_MOVE_REL_Y = 0x83;
constexpr std::uint8_t CMD_STATE = 0xCE;
constexpr std::uint8_t CMD_CONTROL = 0xD1;
constexpr std::uint8_t CMD_AXIS = 0xD2;
constexpr std::uint8_t CMD_MOVE_TO = 0xD3;
constexpr std::uint8_t CMD_PARAM = 0xD4;
constexpr std::uint8_t CMD_FRAME = 0xD5;

// Relative moves within this magnitude fit 14-bit offsets.
constexpr std::int64_t kShortMove = 8192;

constexpr int kDrainTurns = 6;
constexpr int kWriteDrainTurns = 21;
constexpr int kTurnMs = 100;
constexpr int kReadBackDelayMs = 500;

std::int32_t I32At(const void* data, std::size_t index)
{
    std::int32_t v;
    std::memcpy(&v, static_cast<const std::uint8_t*>(data) + index * 4, sizeof v);
    return v;
}

std::uint8_t* PutParamRead(std::uint8_t* out, std::uint16_t id)
{
    out[0] = CMD_PARAM;
    out[1] = 0x00;
    PutNum2(out + 2, id);
    return out + 4;
}

std::int32_t EncodeMoveBy(std::int32_t dx, std::int32_t dy, std::uint8_t* out)
{
    const std::int64_t ax = std::llabs(std::int64_t{dx});
    const std::int64_t ay = std::llabs(std::int64_t{dy});
    if (ax >= kShortMove || ay >= kShortMove) {
        out[0] = CMD_MOVE_ABS_LONG;
        PutNum5(out + 1, dx);
        PutNum5(out + 6, dy);
        return 11;
    }
    if (dx != 0 && dy == 0) {
        out[0] = CMD_MOVE_REL_X;
        PutNum2(out + 1, dx);
        return 3;
    }
    if (dx == 0 && dy != 0) {
        out[0] = CMD_MOVE_REL_Y;
        PutNum2(out + 1, dy);
        return 3;
    }
    out[0] = CMD_MOVE_REL;
    PutNum2(out + 1, dx);
    PutNum2(out + 3, dy);
    return 5;
}

std::int32_t EncodeRunFrame(const void* data, std::uint8_t* out)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out[0] = CMD_FRAME;
    out[1] = bytes[0];
    std::uint8_t* p = out + 2;
    for (int i = 0; i < 5; ++i, p += 5)
        PutNum5(p, I32At(bytes + 1, i));
    for (int i = 5; i < 9; ++i, p += 2)
        PutNum2(p, PowerToFraction(I32At(bytes + 1, i)));
    return static_cast<std::int32_t>(p - out);
}

// Jog presses: OP_JOG_X_1 .. OP_JOG_V_2 without the stops; the second byte
// of each is 0x40 + 2 x axis + (0 or 1).
bool IsJogPress(std::int32_t code)
{
    return code >= OP_JOG_X_1 && code <= OP_JOG_V_2 && (code - OP_JOG_X_1) % 3 != 2;
}

std::uint8_t JogByte(std::int32_t code)
{
    const std::int32_t axis = (code - OP_JOG_X_1) / 3;
    const std::int32_t second = (code - OP_JOG_X_1) % 3;
    return static_cast<std::uint8_t>(0x40 + 2 * axis + second);
}

std::uint8_t JogStopByte(std::int32_t code)
{
    return static_cast<std::uint8_t>(0x60 + (code - OP_JOG_X_STOP) / 3);
}

bool ReadsData(std::int32_t code)
{
    return code == OP_MOVE_TO || code == OP_MOVE_BY || code == OP_RUN_FRAME ||
           code == OP_WRITE_PARAMS || code == OP_AXIS_MOVE || IsJogPress(code);
}

bool TransportRuns()
{
    return Comm().running.load();
}

// Sleeps turns of 100 ms while the send ring holds bytes and the transport runs.
void WaitForSendRing(int turns)
{
    for (int turn = 0; turn < turns && GetSendBytesLen() > 0 && TransportRuns(); ++turn)
        std::this_thread::sleep_for(std::chrono::milliseconds(kTurnMs));
}

} // namespace

std::int32_t EncodeOnlinePayload(std::int32_t code, const void* data, std::uint8_t* out)
{
    if (data == nullptr && ReadsData(code))
        return -1;
    if (IsJogPress(code)) {
        out[0] = CMD_CONTROL;
        out[1] = JogByte(code);
        out[2] = *static_cast<const std::uint8_t*>(data);
        return 3;
    }
    if (code >= OP_JOG_X_STOP && code <= OP_JOG_V_STOP) { // only the stops are left
        out[0] = CMD_CONTROL;
        out[1] = JogStopByte(code);
        return 2;
    }
    switch (code) {
    case OP_QUERY_STATE:
    case OP_QUERY_STATE2:
        out[0] = CMD_STATE;
        return 1;
    case OP_READ_INFO:
        PutParamRead(out, 767);
        return 4;
    case OP_POSITION:
        out[0] = CMD_CONTROL;
        out[1] = 0x12;
        return 2;
    case OP_MOVE_TO:
        out[0] = CMD_MOVE_TO;
        out[1] = 0x00;
        PutNum5(out + 2, I32At(data, 0));
        PutNum5(out + 7, I32At(data, 1));
        return 12;
    case OP_MOVE_BY:
        return EncodeMoveBy(I32At(data, 0), I32At(data, 1), out);
    case OP_RUN_FRAME:
        return EncodeRunFrame(data, out);
    case OP_START:
    case OP_PAUSE:
    case OP_CONTINUE:
    case OP_STOP: {
        static constexpr std::uint8_t kControl[] = {0x00, 0x02, 0x03, 0x01};
        out[0] = CMD_CONTROL;
        out[1] = kControl[code - OP_START];
        return 2;
    }
    case OP_HOLD_START:
    case OP_HOLD_END:
        out[0] = CMD_CONTROL;
        out[1] = code == OP_HOLD_START ? 0x50 : 0x70;
        return 2;
    case OP_READ_PARAMS: {
        std::uint8_t* p = out;
        for (std::uint16_t id : kReadIds)
            p = PutParamRead(p, id);
        return static_cast<std::int32_t>(p - out);
    }
    case OP_WRITE_PARAMS: {
        std::uint8_t* p = out;
        for (int i = 0; i < kMachineParamCount; ++i, p += 14) {
            // Each value goes twice, as it came.
            const std::int32_t value = I32At(data, i);
            p[0] = CMD_PARAM;
            p[1] = 0x01;
            PutNum2(p + 2, kWriteIds[i]);
            PutNum5(p + 4, value);
            PutNum5(p + 9, value);
        }
        return static_cast<std::int32_t>(p - out);
    }
    case OP_AXIS_MOVE:
        out[0] = CMD_AXIS;
        out[1] = static_cast<std::uint8_t>(I32At(data, 0));
        out[2] = static_cast<std::uint8_t>(I32At(data, 1));
        PutNum5(out + 3, I32At(data, 2));
        return 8;
    case OP_READ_STATISTICS: {
        std::uint8_t* p = out;
        for (std::uint16_t id : kStatisticIds)
            p = PutParamRead(p, id);
        return static_cast<std::int32_t>(p - out);
    }
    default: // OP_WAIT_ONLY, OP_WAIT_ONLY2 and unknown codes
        return 0;
    }
}

bool OnlineOperationDrains(std::int32_t code)
{
    switch (code) {
    case OP_QUERY_STATE:
    case OP_QUERY_STATE2:
    case OP_READ_INFO:
    case OP_READ_PARAMS:
    case OP_WRITE_PARAMS:
    case OP_READ_STATISTICS:
    case OP_HOLD_START:
        return false;
    default:
        return !IsJogPress(code);
    }
}

std::uint32_t OnlineOperate(std::uint8_t link, std::int32_t code, const void* data,
                            std::uint32_t wait, plat::HWND window)
{
    std::array<std::uint8_t, kPacketMax> packet{};
    const bool network = link != 0;
    const std::uint32_t start = network ? kPacketHeadSize : 0;
    const std::int32_t length = EncodeOnlinePayload(code, data, packet.data() + start);
    if (length < 0)
        return 0;
    // A command needs the link: one that ended by itself is made again once.
    if (network && EnsureNetworkLink() == LinkCheck::Failed)
        return 0;
    const std::uint32_t payload = static_cast<std::uint32_t>(length);
    if (network) {
        // The send ring is not emptied first: a job block queued there must
        // reach the controller, and the transport sends one packet per
        // exchange, so this command simply goes after it.
        const std::uint8_t type = code == OP_WRITE_PARAMS  ? PACKET_WRITE_PARAMS
                                  : code == OP_READ_PARAMS ? PACKET_READ_PARAMS
                                                           : PACKET_COMMAND;
        WritePacketHead(packet.data(), type, payload);
    }
    // A full ring refuses the packet; the caller learns of it only through
    // the missing answer, as the controller's silence would tell it too.
    PutSendBytes(packet.data(), start + payload, wait != 0 ? window : 0);

    if (wait == 0 && OnlineOperationDrains(code)) {
        if (!TransportRuns())
            return 0;
        WaitForSendRing(kDrainTurns);
    }
    if (code == OP_WRITE_PARAMS) {
        // Read the parameters back once the writes are out, so the
        // controller's new values come back as answers.
        WaitForSendRing(kWriteDrainTurns);
        if (GetSendBytesLen() == 0 && TransportRuns()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kReadBackDelayMs));
            OnlineOperate(link, OP_READ_PARAMS, nullptr, 1, window);
        }
    }
    return 1;
}
