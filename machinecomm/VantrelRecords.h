// Records shared by pointer between the main program and the communication
// library: the output path records going in, the answer records coming
// back. The field order and widths are an interface between the two: each
// record keeps natural alignment, and the layout is pinned by the
// assertions at the end of this file. Only standard headers here, so both
// sides can include it.
#pragma once
#include <cstddef>
#include <cstdint>

struct SEGNODE;
struct ARRAYREC;

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

static_assert(offsetof(ANSWERREC, m_type) == 0);
static_assert(offsetof(ANSWERREC, m_reserved) == 4);
static_assert(offsetof(ANSWERREC, m_id) == 8);
static_assert(sizeof(void*) != 8 || offsetof(ANSWERREC, m_pData) == 16);
static_assert(sizeof(void*) != 8 || offsetof(ANSWERREC, m_pPrev) == 24);
static_assert(sizeof(void*) != 8 || offsetof(ANSWERREC, m_pNext) == 32);
static_assert(sizeof(void*) != 8 || sizeof(ANSWERREC) == 40);
