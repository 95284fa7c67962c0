#include "MachineTech.h"

#include "MachineNode.h"
#include "ParamTextFile.h"
#include "ReadParamFile.h"
#include "platform/NumText.h"
#include "platform/TextFile.h"
#include "platform/WorkFolder.h"

#include <string_view>

namespace {

template <class Row>
void FreeRows(Row*& head)
{
    while (head != nullptr) {
        Row* next = head->next;
        delete head;
        head = next;
    }
}

template <class Row>
Row* LastRow(Row* head)
{
    if (head == nullptr)
        return nullptr;
    while (head->next != nullptr)
        head = head->next;
    return head;
}

// Links a new row behind `tail` (or as the head), and makes it the tail.
template <class Row>
void LinkRow(Row*& head, Row*& tail, Row* row)
{
    row->prev = tail;
    row->next = nullptr;
    if (tail != nullptr)
        tail->next = row;
    else
        head = row;
    tail = row;
}

constexpr std::string_view kCarveRepair = "carve repair";
constexpr std::string_view kSpeedLimit = "speed limit";
constexpr std::string_view kCutRepair = "cut repair";
constexpr std::string_view kCarveEnd = "carve end";
constexpr std::string_view kLimitEnd = "limit end";
constexpr std::string_view kCutEnd = "cut end";
constexpr std::string_view kDislocUse = "m_disloc_use";
constexpr std::string_view kCloseUse = "m_close_use";
constexpr std::string_view kCloseRepay = "m_close_repay";

// Walks the lines of a technology file. Rows are built in a pending value and
// linked when the next row opens or the section ends, as the file is laid out.
class TechLineReader {
public:
    TechLineReader(CMachineTech& tech, const std::vector<std::string>& lines) : m_tech(tech), m_lines(lines)
    {
        m_carveTail = LastRow(tech.m_pCarveRepair);
        m_limitTail = LastRow(tech.m_pSpeedLimit);
        m_cutTail = LastRow(tech.m_pCutRepair);
    }

    void Run()
    {
        while (m_pos < m_lines.size()) {
            const std::string& line = m_lines[m_pos++];
            // Only these keys take a value line; any other line stands alone.
            if (line != kCarveRepair && line != kSpeedLimit && line != kCutRepair && line != kDislocUse &&
                line != kCloseUse && line != kCloseRepay)
                continue;
            if (m_pos >= m_lines.size())
                return;
            const std::string& value = m_lines[m_pos++];
            if (line == kCarveRepair) {
                m_tech.m_carve_use = ParamSigned<std::uint8_t>(value);
                ReadCarveRows();
            } else if (line == kSpeedLimit) {
                m_tech.m_limit_use = ParamSigned<std::uint8_t>(value);
                ReadLimitRows();
            } else if (line == kCutRepair) {
                m_tech.m_cut_use = ParamSigned<std::uint8_t>(value);
                ReadCutRows();
            } else if (line == kDislocUse) {
                m_tech.m_disloc_use = ParamSigned<std::uint8_t>(value);
            } else if (line == kCloseUse) {
                m_tech.m_close_use = ParamSigned<std::uint8_t>(value);
            } else {
                m_tech.m_close_repay = ParamRealValue(value);
            }
        }
    }

private:
    // Next key and value of a section; false at its end line or the end of
    // the file (a key without a value line is dropped).
    bool NextRowPair(std::string_view endLine, std::string_view& key, std::string_view& value)
    {
        if (m_pos >= m_lines.size())
            return false;
        key = m_lines[m_pos++];
        if (key == endLine || m_pos >= m_lines.size())
            return false;
        value = m_lines[m_pos++];
        return true;
    }

    void ReadCarveRows()
    {
        CARVEREPAIR* row = nullptr;
        std::string_view key, value;
        while (NextRowPair(kCarveEnd, key, value)) {
            if (key == "speed") {
                if (row != nullptr)
                    LinkRow(m_tech.m_pCarveRepair, m_carveTail, row);
                row = new CARVEREPAIR;
                row->speed = ParamRealValue(value);
            } else if (key == "inter" && row != nullptr) {
                row->inter = ParamRealValue(value);
            }
        }
        if (row != nullptr)
            LinkRow(m_tech.m_pCarveRepair, m_carveTail, row);
    }

    void ReadLimitRows()
    {
        SPEEDLIMIT* row = nullptr;
        std::string_view key, value;
        while (NextRowPair(kLimitEnd, key, value)) {
            if (key == "frame") {
                if (row != nullptr)
                    LinkRow(m_tech.m_pSpeedLimit, m_limitTail, row);
                row = new SPEEDLIMIT;
                row->frame = ParamRealValue(value);
            } else if (key == "speed" && row != nullptr) {
                row->speed = ParamRealValue(value);
            }
        }
        if (row != nullptr)
            LinkRow(m_tech.m_pSpeedLimit, m_limitTail, row);
    }

    void ReadCutRows()
    {
        CUTREPAIR* row = nullptr;
        std::string_view key, value;
        while (NextRowPair(kCutEnd, key, value)) {
            if (key == "speed") {
                if (row != nullptr)
                    LinkRow(m_tech.m_pCutRepair, m_cutTail, row);
                row = new CUTREPAIR;
                row->speed = ParamRealValue(value);
            } else if (key == "x rt" && row != nullptr) {
                row->x_rt = ParamRealValue(value);
            } else if (key == "y rt" && row != nullptr) {
                row->y_rt = ParamRealValue(value);
            }
        }
        if (row != nullptr)
            LinkRow(m_tech.m_pCutRepair, m_cutTail, row);
    }

    CMachineTech& m_tech;
    const std::vector<std::string>& m_lines;
    std::size_t m_pos = 0;
    CARVEREPAIR* m_carveTail = nullptr;
    SPEEDLIMIT* m_limitTail = nullptr;
    CUTREPAIR* m_cutTail = nullptr;
};

} // namespace

CMachineTech::CMachineTech(std::u16string_view name) : m_name(name)
{
    CReadParamFile().ReadTechParam(*this);
}

CMachineTech::~CMachineTech()
{
    Clear();
}

bool CMachineTech::Clear()
{
    FreeRows(m_pCarveRepair);
    FreeRows(m_pSpeedLimit);
    FreeRows(m_pCutRepair);
    return true;
}

CARVEREPAIR* CMachineTech::AppendCarveRepair(double speed, double inter)
{
    CARVEREPAIR* tail = LastRow(m_pCarveRepair);
    CARVEREPAIR* row = new CARVEREPAIR;
    row->speed = speed;
    row->inter = inter;
    LinkRow(m_pCarveRepair, tail, row);
    return row;
}

SPEEDLIMIT* CMachineTech::AppendSpeedLimit(double frame, double speed)
{
    SPEEDLIMIT* tail = LastRow(m_pSpeedLimit);
    SPEEDLIMIT* row = new SPEEDLIMIT;
    row->frame = frame;
    row->speed = speed;
    LinkRow(m_pSpeedLimit, tail, row);
    return row;
}

CUTREPAIR* CMachineTech::AppendCutRepair(double speed, double xRt, double yRt)
{
    CUTREPAIR* tail = LastRow(m_pCutRepair);
    CUTREPAIR* row = new CUTREPAIR;
    row->speed = speed;
    row->x_rt = xRt;
    row->y_rt = yRt;
    LinkRow(m_pCutRepair, tail, row);
    return row;
}

void CMachineTech::ReadLines(const std::vector<std::string>& lines)
{
    TechLineReader(*this, lines).Run();
}

std::vector<std::string> CMachineTech::FileLines() const
{
    ParamTextFile file;
    file.AddSigned(kCarveRepair, m_carve_use);
    for (const CARVEREPAIR* r = m_pCarveRepair; r != nullptr; r = r->next) {
        file.AddReal("speed", r->speed);
        file.AddReal("inter", r->inter);
    }
    file.AddLine(kCarveEnd);
    file.AddSigned(kSpeedLimit, m_limit_use);
    for (const SPEEDLIMIT* r = m_pSpeedLimit; r != nullptr; r = r->next) {
        file.AddReal("frame", r->frame);
        file.AddReal("speed", r->speed);
    }
    file.AddLine(kLimitEnd);
    file.AddSigned(kCutRepair, m_cut_use);
    for (const CUTREPAIR* r = m_pCutRepair; r != nullptr; r = r->next) {
        file.AddReal("speed", r->speed);
        file.AddReal("x rt", r->x_rt);
        file.AddReal("y rt", r->y_rt);
    }
    file.AddLine(kCutEnd);
    file.AddSigned(kDislocUse, m_disloc_use);
    file.AddSigned(kCloseUse, m_close_use);
    file.AddReal(kCloseRepay, m_close_repay);
    return file.Lines();
}

void DestroyMachineTech(CMachineTech* tech)
{
    delete tech;
}

bool CReadParamFile::WriteTechParam(const CMachineTech& tech) const
{
    return plat::WriteTextLinesCrLf(GetParamPath() + plat::TechFileName(tech.m_name), tech.FileLines());
}

bool CReadParamFile::ReadTechParam(CMachineTech& tech) const
{
    std::vector<std::string> lines;
    if (plat::ReadTextLines(GetParamPath() + plat::TechFileName(tech.m_name), lines))
        tech.ReadLines(lines);
    return true;
}
