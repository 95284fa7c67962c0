// The progress control that engine code drives (the main frame's status-bar
// progress bar in the program; a recorder in tests).
#pragma once
#include <vector>

namespace plat {

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void SetRange(int lower, int upper) = 0;
    virtual void SetPos(int pos) = 0;
    virtual int GetPos() const = 0;
};

// Registers the process-wide progress control (null: none).
void SetProgressSink(ProgressSink* sink);
ProgressSink* GetProgressSink();

// Keeps range and position; every position set is remembered in order.
class RecordingProgress : public ProgressSink {
public:
    void SetRange(int lower, int upper) override
    {
        m_lower = lower;
        m_upper = upper;
    }
    void SetPos(int pos) override
    {
        m_pos = pos;
        m_history.push_back(pos);
    }
    int GetPos() const override { return m_pos; }

    int m_lower = 0;
    int m_upper = 100;
    int m_pos = 0;
    std::vector<int> m_history;
};

} // namespace plat
