// The machine control page on a stage of its own: a scratch program folder
// with the shipped language files, a recording prompt, recorded waits, the
// fake controller on 127.0.0.1 (VANTREL_PORT), serial ports 1 to 100 pointing
// at missing devices, a cut layer 1, one network machine "A" at 127.0.0.1
// (type 0, origin corner 1, positioning point 0) and a document holding a
// 100 x 50 mm rectangle on layer 1.
#pragma once
#include "AppTestSupport.h"
#include "model/DocContext.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "platform/Sleep.h"
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "settings/TransThreadInfo.h"
#include "settings/WorkParams.h"
#include "ui/MyButton.h"
#include "ui/WorkPageWork.h"

#include "FakeController.h"

#include <QLineEdit>
#include <QTest>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace plat {

constexpr std::uint32_t kLoopbackA = 0x7F000001;
constexpr std::uint32_t kLoopbackB = 0x7F000002;

class MachineStage : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = std::make_unique<ScratchProgram>();
        ASSERT_GT(CReadParamFile().LoadLanguageFiles(m_table), 0);
        SetLanguageTable(m_table);
        SetPrompt(&m_prompt);
        SetSleepHookForTesting([this](int ms) { m_sleeps.push_back(ms); });
        for (int port = 1; port <= 100; ++port)
            SetPort(port, "/nonexistent/tty" + std::to_string(port));
        ASSERT_TRUE(m_fake.Start());
        ::setenv("VANTREL_PORT", std::to_string(m_fake.Port()).c_str(), 1);

        g_settings.m_pLayers = MakeDefaultLayerList();
        FindLayerParams(g_settings.m_pLayers, 1)->m_border = 1;
        g_settings.m_nCurMachine = 0;
        g_settings.m_nComPort = 0;
        AddMachine(u"A", 1, kLoopbackA);

        m_context.m_pSettings = &g_settings;
        m_context.m_pCurrent = &m_doc;
        AddRect(0.0, 0.0, 100.0, 50.0);
        CWorkPageWork::SetDialogs({});
    }
    void TearDown() override
    {
        m_page.reset();
        m_host.reset();
        CWorkPageWork::SetDialogs({});
        FreeMachineList(g_settings.m_pMachines);
        VqEtCommThrd(0);
        FreeWorkParamList(g_settings.m_pLayers);
        g_settings.m_nCurMachine = 0;
        g_settings.m_nComPort = 0;
        ::unsetenv("VANTREL_PORT");
        for (int port = 1; port <= 100; ++port)
            ::unsetenv(("BRENVIK_COM" + std::to_string(port)).c_str());
        SetSleepHookForTesting({});
        SetPrompt(nullptr);
        SetLanguageTable({});
        m_program.reset();
    }

    static void SetPort(int port, const std::string& device)
    {
        ::setenv(("BRENVIK_COM" + std::to_string(port)).c_str(), device.c_str(), 1);
    }

    // Appends a machine to the list: link type 1 network, 0 serial.
    MachineNode& AddMachine(const std::u16string& name, std::uint8_t linkType, std::uint32_t ip)
    {
        auto* m = new MachineNode;
        m->SetName(name);
        m->m_link_type = linkType;
        m->m_ip = ip;
        MachineNode** at = &g_settings.m_pMachines;
        MachineNode* prev = nullptr;
        while (*at != nullptr) {
            prev = *at;
            at = &(*at)->m_next;
        }
        m->m_prev = prev;
        *at = m;
        return *m;
    }
    static MachineNode& Machine(int index)
    {
        MachineNode* m = g_settings.m_pMachines;
        while (index-- > 0)
            m = m->m_next;
        return *m;
    }

    // A rectangle in millimetres from the machine origin, on layer 1.
    void AddRect(double x0, double y0, double x1, double y1)
    {
        CGeoBox box;
        box.m_xmin = kWorldOrigin + x0 * 10.0;
        box.m_xmax = kWorldOrigin + x1 * 10.0;
        box.m_ymin = kWorldOrigin + y0 * 10.0;
        box.m_ymax = kWorldOrigin + y1 * 10.0;
        auto* rect = new CDocDataRect(box, &m_context, 0);
        rect->m_nLayer = 1;
        rect->m_pNext = m_doc.m_pFirst;
        if (m_doc.m_pFirst != nullptr)
            m_doc.m_pFirst->m_pPrev = rect;
        m_doc.m_pFirst = rect;
    }

    // The page set up in a shown, active window and bound to the document.
    CWorkPageWork& ShownPage()
    {
        m_host = std::make_unique<QWidget>();
        m_page = std::make_unique<CWorkPageWork>();
        m_page->Create(m_host.get());
        m_edit = new QLineEdit(m_host.get());
        m_page->FillDeviceList(&m_context, nullptr);
        m_host->resize(m_page->sizeHint().expandedTo(QSize(320, 600)));
        m_page->resize(m_host->size());
        m_edit->setGeometry(0, 0, 10, 10);
        m_host->show();
        m_host->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_host.get()));
        return *m_page;
    }

    // The payloads that reached a controller, unscrambled (machine type 0).
    static std::vector<Bytes> Payloads(const FakeController& fake)
    {
        std::vector<Bytes> all;
        for (const Bytes& p : fake.Unscrambled(0x39))
            all.emplace_back(p.begin() + 50, p.end());
        return all;
    }
    // Sends the positioning command as a marker and waits for it: every
    // packet sent before it has arrived by then.
    std::vector<Bytes> PayloadsUpToMarker()
    {
        const std::size_t before = m_fake.Packets().size();
        m_page->OnPositioning();
        EXPECT_TRUE(m_fake.WaitForPackets(before + 1, 3000));
        std::vector<Bytes> all = Payloads(m_fake);
        EXPECT_EQ(all.back(), (Bytes{0xD1, 0x12}));
        all.pop_back();
        return all;
    }
    std::u16string ErrorText(int entry) const { return LanguageText(m_table, u"phase15:error-hint", entry); }

    std::unique_ptr<ScratchProgram> m_program;
    std::array<std::u16string, kLanguageTableSize> m_table;
    RecordingPrompt m_prompt;
    std::vector<int> m_sleeps;
    FakeController m_fake;
    CDocListNode m_doc;
    DOCCONTEXT m_context;
    std::unique_ptr<QWidget> m_host;
    std::unique_ptr<CWorkPageWork> m_page;
    QLineEdit* m_edit = nullptr;
};

} // namespace plat
