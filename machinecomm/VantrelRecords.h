// Records shared by pointer between the main program and the communication
// library: the job records, output path records and the transfer request
// going in, the answer records coming back. The field order and widths are an interface between the two: each
// record keeps natural alignment, and the layout is pinned by the
// assertions at the end of this file. Only standard headers here, so both
// sides can include it.
#pragma once
#include <cstddef>
#include <cstdint>

struct SEGNODE;
struct ARRAYREC;
struct WORKLAYER;

// Path kinds of PATHREC::m_kind.
enum : std::uint16_t {
    PATH_KIND_PATH = 0,
    PATH_KIND_DOT = 1,
    PATH_KIND_GROUP = 2,
};

// Initial bounds of a freshly allocated path record.
constexpr double kPathBoundMinInit = 1e9;
constexpr double kPathBoundMaxInit = -1e9;

// One output path: a ring of straight segments, or a group bracket.
struct PATHREC {
    std::uint32_t m_closed = 0;   // 1 when the path ends where it begins
    std::uint16_t m_kind = PATH_KIND_PATH;
    std::uint16_t m_subkind = 0;  // 1 dash piece, 3 light-guide line
    alignas(8) double m_xmin = kPathBoundMinInit;
    double m_ymin = kPathBoundMinInit;
    double m_zmin = kPathBoundMinInit;
    double m_xmax = kPathBoundMaxInit;
    double m_ymax = kPathBoundMaxInit;
    double m_zmax = kPathBoundMaxInit;
    SEGNODE* m_pSegs = nullptr;   // first segment of the ring; null on a bracket
    ARRAYREC* m_pArray = nullptr; // owned, on an opening bracket only
    PATHREC* m_pPrev = nullptr;
    PATHREC* m_pNext = nullptr;

    // As segments: one pool of the main program (model/SegNodePool.cpp).
    static void* operator new(std::size_t size);
    static void operator delete(void* p) noexcept;
};

// One straight segment of an output path.
struct SEGNODE {
    std::uint16_t m_nMode = 0;
    std::uint16_t m_nGrey0 = 0;
    std::uint16_t m_nGrey1 = 0;
    alignas(8) double m_x0 = 0.0;
    double m_y0 = 0.0;
    double m_z0 = 0.0;
    double m_x1 = 0.0;
    double m_y1 = 0.0;
    double m_z1 = 0.0;
    SEGNODE* m_pPrev = nullptr;
    SEGNODE* m_pNext = nullptr;

    // Jobs hold millions of segments: the main program makes and frees them
    // through one pool (model/SegNodePool.cpp). The layout stays as it is;
    // the communication library only reads segments and never makes or
    // frees one.
    static void* operator new(std::size_t size);
    static void operator delete(void* p) noexcept;
};

// Array copies of an object. Pitches are stored in machine direction.
struct ARRAYREC {
    std::uint16_t m_nRows = 1;
    std::uint16_t m_nCols = 1;
    alignas(8) double m_dDy = 0.0;
    double m_dDx = 0.0;
    std::uint8_t m_bFlag = 0;
    alignas(8) double m_dAreaW = 0.0;
    double m_dAreaH = 0.0;
};

// One job: extents, array, feed and naming data, and the list of its work
// layers. Lengths in millimetres. Reserved fields stay zero.
struct WORKHEAD {
    std::uint32_t m_kind = 0;      // 0 for every job built by the main program
    std::uint32_t m_operation = 0; // 0 send, 2 save an offline file, 4 send an offline file
    std::uint8_t m_reserved1[48] = {};
    std::uint16_t m_reserved2 = 0;
    char m_filePath[150] = {};     // path of the work file (operations 2 and 4) as the bytes
                                   // open() takes (UTF-8 here), not code-page text
    alignas(8) double m_maxX = 0.0;
    double m_maxY = 0.0;
    double m_maxZ = 0.0;           // reserved, stays 0
    double m_minX = 0.0;
    double m_minY = 0.0;
    double m_minZ = 0.0;           // reserved, stays 0
    double m_firstExtents[4] = {}; // max x, min x, max y, min y before banding
    std::uint32_t m_workMode = 0;  // start code 0..8
    std::uint32_t m_comPort = 0;
    std::uint32_t m_arrayUse = 0;  // 1: the job goes out as an array of copies
    std::uint32_t m_arrayCountY = 1;
    std::uint32_t m_arrayCountX = 1;
    std::uint32_t m_reserved3 = 0;
    alignas(8) double m_pitchX = 0.0; // array pitch, or the job width without an array
    double m_pitchY = 0.0;
    std::uint8_t m_hasObjectArrays = 0;
    std::int32_t m_feedCount = 0;
    alignas(8) double m_feedLength = 0.0;
    std::int32_t m_feedDelay = 0;  // whole seconds
    alignas(8) double m_closeRepay = 0.0;
    char m_jobName[12] = {};       // ANSI, at most 8 characters, zero-filled
    std::uint8_t m_originCorner = 0;
    std::uint8_t m_posPoint = 0;
    std::uint8_t m_banded = 0;
    WORKLAYER* m_layers = nullptr;
};

// One layer of a job: its cutting or scanning parameters and its ring of
// output paths. Powers are percent x 100.
struct WORKLAYER {
    std::uint32_t m_layerId = 0;
    std::uint32_t m_bandIndex = 0;
    alignas(8) double m_bandGap = 0.0;
    std::uint32_t m_reserved1 = 0;
    std::uint8_t m_mode = 0;       // low 7 bits: 1 cut, 2 scan, 3 both; 0x80 light-guide lines
    std::uint8_t m_style = 0;
    float m_speed = 0.0f;
    std::uint32_t m_reserved2 = 0;
    float m_freeSpeed = 0.0f;
    std::uint8_t m_lightDef = 0;
    std::uint16_t m_maxPower1 = 0;
    std::uint16_t m_minPower1 = 0;
    std::uint16_t m_maxPower2 = 0;
    std::uint16_t m_minPower2 = 0;
    std::uint16_t m_startDelay = 0;
    std::uint16_t m_endDelay = 0;
    std::uint16_t m_laserDelay = 0;
    std::uint32_t m_flags = 0;     // bit 0 air, bit 1 automatic air
    float m_hitTime = 0.0f;
    float m_zLift = 0.0f;
    alignas(8) double m_delayAfter = 0.0; // seconds
    void* m_reserved3 = nullptr;
    std::uint32_t m_reserved4 = 0;
    PATHREC* m_paths = nullptr;
    WORKLAYER* m_prev = nullptr;
    WORKLAYER* m_next = nullptr;
};

// The settings of one transfer (VQ_TransFileOperate). Fields the library does
// not read are marked so.
struct TRANSINFO {
    char m_tag[56] = {};                // 4 zero bytes, then "owner"; not read
    std::uint32_t m_linkType = 0;       // 0 serial, otherwise network
    std::uint32_t m_dataMode = 0;       // 0: encode the job of the header; otherwise ready mode
    std::uint32_t m_totalLength = 0;    // ready mode: length of the ready data; not read
    std::uintptr_t m_notifyWnd = 0;     // window (plat::HWND) of the progress messages; 0 none
    std::uint32_t m_notifyMsg = 0;      // their message number
    char m_machineName[50] = {};        // code-page name, selects the technology file
    std::uint8_t m_payload[122] = {};   // frame trace command put in front of the job
    std::int32_t m_payloadLength = 0;   // 0..122
};

// A transfer request. The main program points m_pInfo at m_info and keeps the
// request, its job and its ready data unchanged until the transfer has ended.
struct TRANSFILEREQ {
    TRANSINFO* m_pInfo = nullptr;
    WORKHEAD* m_pHead = nullptr;        // the job; its name is cut of ".out" in place
    std::uint32_t m_comPort = 0;        // not read
    const std::uint8_t* m_pReadyData = nullptr; // ready mode: 384 bytes skipped, then a whole
                                                // unscrambled job stream
    std::uint32_t m_readyLength = 0;    // ready mode: bytes of m_pReadyData, the 384 included
    std::uint8_t m_startAfter = 0;      // non-zero: the start command follows the job
    TRANSINFO m_info;
};

// One answer of the controller, in a list that GetMsgAnswer hands out and
// DelAnswerList frees. Allocated by the library, read by the main program.
struct ANSWERREC {
    std::uint32_t m_type = 0;      // ANSWER_* below
    std::uint8_t m_reserved = 0;
    std::int32_t m_id = -1;        // state byte of ANSWER_STATE, parameter id of ANSWER_PARAM
    std::uint8_t* m_pData = nullptr; // allocated with the record, layout by type
    ANSWERREC* m_pPrev = nullptr;
    ANSWERREC* m_pNext = nullptr;
};

// Answer types of ANSWERREC::m_type, with the layout of m_pData.
enum : std::uint32_t {
    ANSWER_STATE = 1,    // after CE: one u32
    ANSWER_INFO = 4,     // parameter 767: the text with a terminating 0
    ANSWER_POSITION = 5, // after D1 12: two u32, x and y
    ANSWER_MOVED_TO = 6, // after D3 00: two u32, x and y
    ANSWER_MOVE = 7,     // after 80: two u32; after 81: two u16; after 82 or 83: one u16
    ANSWER_PARAM = 31,   // a parameter read: one u32
};

// The alignas(8) marks keep doubles on 8-byte offsets also where a 32-bit ABI
// would align them to 4, so both builds agree on the non-pointer fields.

// Layout checks. Offsets of the fields ahead of the pointers do not depend on
// the pointer width; the pointer fields and the sizes are checked for the
// 64-bit build (a 32-bit build reads the same fields with 4-byte pointers).
static_assert(offsetof(PATHREC, m_closed) == 0);
static_assert(offsetof(PATHREC, m_kind) == 4);
static_assert(offsetof(PATHREC, m_subkind) == 6);
static_assert(offsetof(PATHREC, m_xmin) == 8);
static_assert(offsetof(PATHREC, m_ymin) == 16);
static_assert(offsetof(PATHREC, m_zmin) == 24);
static_assert(offsetof(PATHREC, m_xmax) == 32);
static_assert(offsetof(PATHREC, m_ymax) == 40);
static_assert(offsetof(PATHREC, m_zmax) == 48);
static_assert(offsetof(PATHREC, m_pSegs) == 56);

static_assert(offsetof(SEGNODE, m_nMode) == 0);
static_assert(offsetof(SEGNODE, m_nGrey0) == 2);
static_assert(offsetof(SEGNODE, m_nGrey1) == 4);
static_assert(offsetof(SEGNODE, m_x0) == 8);
static_assert(offsetof(SEGNODE, m_y0) == 16);
static_assert(offsetof(SEGNODE, m_z0) == 24);
static_assert(offsetof(SEGNODE, m_x1) == 32);
static_assert(offsetof(SEGNODE, m_y1) == 40);
static_assert(offsetof(SEGNODE, m_z1) == 48);
static_assert(offsetof(SEGNODE, m_pPrev) == 56);

static_assert(offsetof(ARRAYREC, m_nRows) == 0);
static_assert(offsetof(ARRAYREC, m_nCols) == 2);
static_assert(offsetof(ARRAYREC, m_dDy) == 8);
static_assert(offsetof(ARRAYREC, m_dDx) == 16);
static_assert(offsetof(ARRAYREC, m_bFlag) == 24);
static_assert(offsetof(ARRAYREC, m_dAreaW) == 32);
static_assert(offsetof(ARRAYREC, m_dAreaH) == 40);
static_assert(sizeof(ARRAYREC) == 48);

static_assert(sizeof(void*) != 8 || offsetof(PATHREC, m_pArray) == 64);
static_assert(sizeof(void*) != 8 || offsetof(PATHREC, m_pPrev) == 72);
static_assert(sizeof(void*) != 8 || offsetof(PATHREC, m_pNext) == 80);
static_assert(sizeof(void*) != 8 || sizeof(PATHREC) == 88);
static_assert(sizeof(void*) != 8 || offsetof(SEGNODE, m_pNext) == 64);
static_assert(sizeof(void*) != 8 || sizeof(SEGNODE) == 72);

static_assert(offsetof(WORKHEAD, m_kind) == 0);
static_assert(offsetof(WORKHEAD, m_operation) == 4);
static_assert(offsetof(WORKHEAD, m_reserved1) == 8);
static_assert(offsetof(WORKHEAD, m_reserved2) == 56);
static_assert(offsetof(WORKHEAD, m_filePath) == 58);
static_assert(offsetof(WORKHEAD, m_maxX) == 208);
static_assert(offsetof(WORKHEAD, m_maxY) == 216);
static_assert(offsetof(WORKHEAD, m_maxZ) == 224);
static_assert(offsetof(WORKHEAD, m_minX) == 232);
static_assert(offsetof(WORKHEAD, m_minY) == 240);
static_assert(offsetof(WORKHEAD, m_minZ) == 248);
static_assert(offsetof(WORKHEAD, m_firstExtents) == 256);
static_assert(offsetof(WORKHEAD, m_workMode) == 288);
static_assert(offsetof(WORKHEAD, m_comPort) == 292);
static_assert(offsetof(WORKHEAD, m_arrayUse) == 296);
static_assert(offsetof(WORKHEAD, m_arrayCountY) == 300);
static_assert(offsetof(WORKHEAD, m_arrayCountX) == 304);
static_assert(offsetof(WORKHEAD, m_reserved3) == 308);
static_assert(offsetof(WORKHEAD, m_pitchX) == 312);
static_assert(offsetof(WORKHEAD, m_pitchY) == 320);
static_assert(offsetof(WORKHEAD, m_hasObjectArrays) == 328);
static_assert(offsetof(WORKHEAD, m_feedCount) == 332);
static_assert(offsetof(WORKHEAD, m_feedLength) == 336);
static_assert(offsetof(WORKHEAD, m_feedDelay) == 344);
static_assert(offsetof(WORKHEAD, m_closeRepay) == 352);
static_assert(offsetof(WORKHEAD, m_jobName) == 360);
static_assert(offsetof(WORKHEAD, m_originCorner) == 372);
static_assert(offsetof(WORKHEAD, m_posPoint) == 373);
static_assert(offsetof(WORKHEAD, m_banded) == 374);
static_assert(sizeof(void*) != 8 || offsetof(WORKHEAD, m_layers) == 376);
static_assert(sizeof(void*) != 8 || sizeof(WORKHEAD) == 384);

static_assert(offsetof(WORKLAYER, m_layerId) == 0);
static_assert(offsetof(WORKLAYER, m_bandIndex) == 4);
static_assert(offsetof(WORKLAYER, m_bandGap) == 8);
static_assert(offsetof(WORKLAYER, m_reserved1) == 16);
static_assert(offsetof(WORKLAYER, m_mode) == 20);
static_assert(offsetof(WORKLAYER, m_style) == 21);
static_assert(offsetof(WORKLAYER, m_speed) == 24);
static_assert(offsetof(WORKLAYER, m_reserved2) == 28);
static_assert(offsetof(WORKLAYER, m_freeSpeed) == 32);
static_assert(offsetof(WORKLAYER, m_lightDef) == 36);
static_assert(offsetof(WORKLAYER, m_maxPower1) == 38);
static_assert(offsetof(WORKLAYER, m_minPower1) == 40);
static_assert(offsetof(WORKLAYER, m_maxPower2) == 42);
static_assert(offsetof(WORKLAYER, m_minPower2) == 44);
static_assert(offsetof(WORKLAYER, m_startDelay) == 46);
static_assert(offsetof(WORKLAYER, m_endDelay) == 48);
static_assert(offsetof(WORKLAYER, m_laserDelay) == 50);
static_assert(offsetof(WORKLAYER, m_flags) == 52);
static_assert(offsetof(WORKLAYER, m_hitTime) == 56);
static_assert(offsetof(WORKLAYER, m_zLift) == 60);
static_assert(offsetof(WORKLAYER, m_delayAfter) == 64);
static_assert(offsetof(WORKLAYER, m_reserved3) == 72);
static_assert(sizeof(void*) != 8 || offsetof(WORKLAYER, m_reserved4) == 80);
static_assert(sizeof(void*) != 8 || offsetof(WORKLAYER, m_paths) == 88);
static_assert(sizeof(void*) != 8 || offsetof(WORKLAYER, m_prev) == 96);
static_assert(sizeof(void*) != 8 || offsetof(WORKLAYER, m_next) == 104);
static_assert(sizeof(void*) != 8 || sizeof(WORKLAYER) == 112);

static_assert(offsetof(TRANSINFO, m_tag) == 0);
static_assert(offsetof(TRANSINFO, m_linkType) == 56);
static_assert(offsetof(TRANSINFO, m_dataMode) == 60);
static_assert(offsetof(TRANSINFO, m_totalLength) == 64);
static_assert(sizeof(void*) != 8 || offsetof(TRANSINFO, m_notifyWnd) == 72);
static_assert(sizeof(void*) != 8 || offsetof(TRANSINFO, m_notifyMsg) == 80);
static_assert(sizeof(void*) != 8 || offsetof(TRANSINFO, m_machineName) == 84);
static_assert(sizeof(void*) != 8 || offsetof(TRANSINFO, m_payload) == 134);
static_assert(sizeof(void*) != 8 || offsetof(TRANSINFO, m_payloadLength) == 256);
static_assert(sizeof(void*) != 8 || sizeof(TRANSINFO) == 264);

static_assert(offsetof(TRANSFILEREQ, m_pInfo) == 0);
static_assert(sizeof(void*) != 8 || offsetof(TRANSFILEREQ, m_pHead) == 8);
static_assert(sizeof(void*) != 8 || offsetof(TRANSFILEREQ, m_comPort) == 16);
static_assert(sizeof(void*) != 8 || offsetof(TRANSFILEREQ, m_pReadyData) == 24);
static_assert(sizeof(void*) != 8 || offsetof(TRANSFILEREQ, m_readyLength) == 32);
static_assert(sizeof(void*) != 8 || offsetof(TRANSFILEREQ, m_startAfter) == 36);
static_assert(sizeof(void*) != 8 || offsetof(TRANSFILEREQ, m_info) == 40);
static_assert(sizeof(void*) != 8 || sizeof(TRANSFILEREQ) == 304);

static_assert(offsetof(ANSWERREC, m_type) == 0);
static_assert(offsetof(ANSWERREC, m_reserved) == 4);
static_assert(offsetof(ANSWERREC, m_id) == 8);
static_assert(sizeof(void*) != 8 || offsetof(ANSWERREC, m_pData) == 16);
static_assert(sizeof(void*) != 8 || offsetof(ANSWERREC, m_pPrev) == 24);
static_assert(sizeof(void*) != 8 || offsetof(ANSWERREC, m_pNext) == 32);
static_assert(sizeof(void*) != 8 || sizeof(ANSWERREC) == 40);
