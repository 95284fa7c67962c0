// A document to import into and export from: a scratch program folder (the
// parameter files land there), one undo snapshot, the shipped palette with
// the HPGL resolution of 1016 dpi, recording dialogs and message boxes, and
// a language table holding the texts the import and export show.
#pragma once
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataPoint.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/ImportOptions.h"
#include "platform/Prompt.h"
#include "platform/TextFile.h"
#include "platform/WorkControl.h"
#include "settings/LanguageTable.h"
#include "settings/SoftwareSettings.h"
#include "tests/processing/ProcessingTestSupport.h"
#include "tests/settings/ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plat {

inline std::vector<XY> NodePositions(const CDocData* o) { return NodePositions(o->m_pNodes); }

inline CDocData* MakePoint(double x, double y, std::int32_t layer = 0)
{
    auto* point = new CDocDataPoint(x, y, nullptr);
    point->m_nLayer = layer;
    return point;
}

inline std::vector<const CDocData*> Objects(const CDocData* head)
{
    std::vector<const CDocData*> out;
    for (; head != nullptr; head = head->m_pNext)
        out.push_back(head);
    return out;
}

inline void ExpectBox(const CGeoBox& box, double xmin, double xmax, double ymin, double ymax)
{
    EXPECT_EQ(box.m_xmin, xmin);
    EXPECT_EQ(box.m_xmax, xmax);
    EXPECT_EQ(box.m_ymin, ymin);
    EXPECT_EQ(box.m_ymax, ymax);
}

// Node positions within 1e-6, for values that pass through a division.
inline void ExpectNodesNear(const CDocData* o, const std::vector<XY>& expected)
{
    const std::vector<XY> got = NodePositions(o);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].first, expected[i].first, 1e-6) << i;
        EXPECT_NEAR(got[i].second, expected[i].second, 1e-6) << i;
    }
}

// The thousandths each step of long work on this thread reaches while it
// lives; the hook goes with it, however the test ends.
class StepRecorder {
public:
    StepRecorder()
    {
        WorkControl::SetStepHookForTesting([this](WorkControl&, int permille) { m_steps.push_back(permille); });
    }
    ~StepRecorder() { WorkControl::SetStepHookForTesting(nullptr); }
    StepRecorder(const StepRecorder&) = delete;
    StepRecorder& operator=(const StepRecorder&) = delete;
    const std::vector<int>& Steps() const { return m_steps; }

private:
    std::vector<int> m_steps;
};

// Folder of the files written by other programs; empty where it is missing.
inline std::string TestDataFolder() { return BRENVIK_TESTDATA; }

// Texts at their places in the table: the replace question and the write
// failure.
constexpr std::u16string_view kReplaceText = u" already exists. Replace it?";
constexpr std::u16string_view kWriteFailedText = u" could not be written.";

class ImportFixture : public ::testing::Test {
protected:
    ImportFixture() : m_table(kLanguageTableSize)
    {
        m_settings.SetPaletteAndInterfaceDefaults();
        m_settings.SetOptionDefaults();
        m_settings.plt_resolution = 1016;
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_pCurrent = new CDocListNode;
        m_table[0] = u"phase13:param-dialog";
        m_table[68] = kReplaceText;
        m_table[100] = u"phase15:error-hint";
        m_table[114] = kWriteFailedText;
        SetLanguageTable(m_table);
        SetPrompt(&m_prompt);
        SetImportOptions(&m_options);
    }
    ~ImportFixture() override
    {
        SetImportOptions(nullptr);
        SetPrompt(nullptr);
        SetLanguageTable({});
        CDocListNode* oldest = m_ctx.m_pCurrent;
        while (oldest != nullptr && oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
    }

    // Writes a file into the scratch folder; returns its path.
    std::string File(const std::string& name, const std::string& bytes)
    {
        const std::string path = m_folder.Root() + name;
        EXPECT_TRUE(WriteWholeFile(path, bytes));
        return path;
    }
    CDocData* Document() { return m_ctx.m_pCurrent->m_pFirst; }
    int OlderSnapshots() const
    {
        int n = 0;
        for (const CDocListNode* s = m_ctx.m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n;
        return n;
    }
    int NewerSnapshots() const
    {
        int n = 0;
        for (const CDocListNode* s = m_ctx.m_pCurrent->m_pNewer; s != nullptr; s = s->m_pNewer)
            ++n;
        return n;
    }

    ScratchProgramFolder m_folder;
    SoftwareSettings m_settings;
    DOCCONTEXT m_ctx;
    std::vector<std::u16string> m_table;
    RecordingPrompt m_prompt;
    RecordingImportOptions m_options;
};

} // namespace plat
