// A machine's technology record: three correction tables that depend on speed
// or size, and a few switches. Stored per machine in Tech<name>.par in the
// parameter folder (file name rule: platform/WorkFolder.h).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// At this scanning speed, reverse-running scan lines shift by `inter`.
struct CARVEREPAIR {
    double speed = 0.0;
    double inter = 0.0;
    CARVEREPAIR* prev = nullptr;
    CARVEREPAIR* next = nullptr;
};

// The speed limit of shapes of this frame size.
struct SPEEDLIMIT {
    double frame = 0.0;
    double speed = 0.0;
    SPEEDLIMIT* prev = nullptr;
    SPEEDLIMIT* next = nullptr;
};

// At this cutting speed, later paths shift by x_rt on each x reversal and by
// y_rt on each y reversal.
struct CUTREPAIR {
    double speed = 0.0;
    double x_rt = 0.0;
    double y_rt = 0.0;
    CUTREPAIR* prev = nullptr;
    CUTREPAIR* next = nullptr;
};

class CMachineTech {
public:
    // Empty record with the name, then its technology file read when present.
    explicit CMachineTech(std::u16string_view name);
    CMachineTech(const CMachineTech&) = delete;
    CMachineTech& operator=(const CMachineTech&) = delete;
    ~CMachineTech();

    // Frees the rows of the three lists; the heads become null.
    bool Clear();

    // Append a row at the end of a list (file order).
    CARVEREPAIR* AppendCarveRepair(double speed, double inter);
    SPEEDLIMIT* AppendSpeedLimit(double frame, double speed);
    CUTREPAIR* AppendCutRepair(double speed, double xRt, double yRt);

    // The file's lines as the reader takes them (see CReadParamFile::ReadTechParam).
    void ReadLines(const std::vector<std::string>& lines);
    // The file's lines as the writer emits them.
    std::vector<std::string> FileLines() const;

    std::u16string m_name;
    CARVEREPAIR* m_pCarveRepair = nullptr;
    std::uint8_t m_carve_use = 0;
    CUTREPAIR* m_pCutRepair = nullptr;
    std::uint8_t m_cut_use = 0;
    SPEEDLIMIT* m_pSpeedLimit = nullptr;
    std::uint8_t m_limit_use = 0;
    std::uint8_t m_disloc_use = 0;
    std::uint8_t m_close_use = 0;
    double m_close_repay = 0.0;
};
