// The text font dialog on its own (face list, matching, number reading,
// texts, character map) and from the text tool in a shown main frame: one
// real modal run from a press, Cancel, and a placed outline on the screen.
#include "AppTestSupport.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "app/RecentFileList.h"
#include "app/tools/DocStateDrawText.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "settings/LanguageTable.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "ui/ParamFontType.h"
#include "ui/XPButton.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <array>
#include <set>

namespace {

// Runs the dialog with `answer` in place of the operator.
int RunFontDialog(CParamFontType& dlg, const std::function<void(CParamFontType&)>& answer)
{
    CDialogBase::SetModalAnswerForTesting([&answer](CDialogBase& d) {
        answer(static_cast<CParamFontType&>(d));
        return d.result() == QDialog::Accepted ? plat::IDOK : plat::IDCANCEL;
    });
    const int result = dlg.DoModal();
    CDialogBase::SetModalAnswerForTesting({});
    return result;
}

} // namespace

// Every family once, DejaVu Sans selected by name, numbers shown "%.15g";
// OK gives back the controls, the numbers read as the property bar reads.
TEST(TextFontDialog, ListsEachFamilyOnceAndGivesBackTheControls)
{
    CParamFontType dlg(u"TrueType", u"DejaVu Sans", u"abc", 0.1 + 0.2, 12.7);
    const int result = RunFontDialog(dlg, [](CParamFontType& d) {
        std::set<QString> seen;
        for (int k = 0; k < d.FaceList()->count(); ++k)
            EXPECT_TRUE(seen.insert(d.FaceList()->itemText(k)).second) << d.FaceList()->itemText(k).toStdString();
        EXPECT_EQ(d.FaceList()->currentText(), QStringLiteral("DejaVu Sans"));
        EXPECT_EQ(d.KindList()->count(), 1);
        EXPECT_EQ(d.KindList()->currentText(), QStringLiteral("TrueType"));
        EXPECT_EQ(d.HeightEdit()->text(), QStringLiteral("0.3"));
        EXPECT_EQ(d.SpacingEdit()->text(), QStringLiteral("12.7"));
        d.TextEdit()->setText(QStringLiteral("激光"));
        d.HeightEdit()->setText(QStringLiteral(" 12.5mm"));
        d.SpacingEdit()->setText(QStringLiteral("-.5"));
        d.OkButton()->click();
    });
    EXPECT_EQ(result, plat::IDOK);
    EXPECT_TRUE(dlg.m_font_type == u"TrueType" && dlg.m_font_name == u"DejaVu Sans" && dlg.m_font_text == u"激光");
    EXPECT_EQ(dlg.m_font_high, 12.5);
    EXPECT_EQ(dlg.m_font_inter, -0.5);
    EXPECT_EQ(CParamFontType::FamilyOf(QStringLiteral("Noto Sans [GOOG]")), QStringLiteral("Noto Sans"));
}

// A face that is not installed selects fontconfig's match for it, so OK
// never gives an empty face; a height or spacing that is no number keeps
// the dialog open.
TEST(TextFontDialog, MissingFaceSelectsItsMatchAndNonNumbersKeepTheDialogOpen)
{
    CParamFontType dlg(u"TrueType", u"Arial", u"A", 10.0, 0.0);
    const int result = RunFontDialog(dlg, [](CParamFontType& d) {
        for (const char* bad : {"abc", "", "-", "inf", "nan", "1e999", "--1"}) {
            d.HeightEdit()->setText(QString::fromLatin1(bad));
            d.OkButton()->click();
            EXPECT_NE(d.result(), QDialog::Accepted) << bad;
        }
        d.HeightEdit()->setText(QStringLiteral("5"));
        d.SpacingEdit()->setText(QStringLiteral("x"));
        d.OkButton()->click();
        EXPECT_NE(d.result(), QDialog::Accepted);
        d.SpacingEdit()->setText(QStringLiteral("0"));
        d.OkButton()->click();
    });
    EXPECT_EQ(result, plat::IDOK);
    EXPECT_EQ(dlg.m_font_name, u"Liberation Sans");
    EXPECT_EQ(dlg.m_font_high, 5.0);
}

// Texts from the entries of "phase2:draw-tool"; the character map button
// starts gucharmap; Cancel gives nothing back.
TEST(TextFontDialog, TakesItsTextsAndStartsTheCharacterMap)
{
    plat::ScratchProgram program(plat::kChineseFile);
    std::array<std::u16string, kLanguageTableSize> table;
    ASSERT_GT(CReadParamFile().LoadLanguageFiles(table), 0);
    SetLanguageTable(table);
    std::vector<QString> started;
    CParamFontType::SetLauncherForTesting([&started](const QString& name) {
        started.push_back(name);
        return false;
    });
    CParamFontType dlg(u"TrueType", u"DejaVu Sans", u"A", 10.0, 0.0);
    const int result = RunFontDialog(dlg, [](CParamFontType& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("文字"));
        EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("1227"))->text(), QStringLiteral("字高(mm)"));
        EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("1228"))->text(), QStringLiteral("字间距(mm)"));
        EXPECT_EQ(d.OkButton()->text() + d.CancelButton()->text(), QStringLiteral("确定取消"));
        EXPECT_EQ(d.CharMapButton()->text(), QStringLiteral("字符映射表..."));
        d.CharMapButton()->click();
        d.HeightEdit()->setText(QStringLiteral("99"));
        d.CancelButton()->click();
    });
    CParamFontType::SetLauncherForTesting(nullptr);
    SetLanguageTable({});
    EXPECT_EQ(started, std::vector<QString>{QStringLiteral("gucharmap")});
    EXPECT_EQ(result, plat::IDCANCEL);
    EXPECT_EQ(dlg.m_font_high, 10.0);
}

namespace {

class TextToolViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = std::make_unique<plat::ScratchProgram>();
        g_settings.SetPaletteAndInterfaceDefaults();
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->Create());
        m_frame->resize(1000, 800);
        m_frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame.get()));
        m_manager = std::make_unique<OrvelDocManager>([this] { return m_frame.get(); }, [this] { return &m_recent; });
        m_manager->NewDocument();
        m_view = m_manager->Frames().at(0)->View();
        m_view->SwitchTool(TOOL_TEXT);
        g_settings.m_nCurLayer = 2; // once the frame has read its settings
    }
    void TearDown() override
    {
        CDialogBase::SetModalAnswerForTesting({});
        CDocStateDrawText::SetGlyphSourceForTesting(nullptr);
        m_manager.reset();
        m_frame.reset();
        m_program.reset();
        g_settings.m_nCurLayer = 0;
    }
    DOCCONTEXT& Ctx() { return m_view->Context(); }
    std::pair<int, int> ObjectsAndSteps()
    {
        std::pair<int, int> n{0, 0};
        for (CDocData* o = Ctx().m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
            ++n.first;
        for (CDocListNode* s = Ctx().m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n.second;
        return n;
    }
    void Press() { QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 300)); }

    plat::ScopedRecordingPrompt m_prompt;
    std::unique_ptr<plat::ScratchProgram> m_program;
    std::unique_ptr<CMainFrame> m_frame;
    RecentFileList m_recent{QStringLiteral("BrenvikTextToolViewTest")};
    std::unique_ptr<OrvelDocManager> m_manager;
    COrvelView* m_view = nullptr;
};

} // namespace

// A press runs the real dialog modally over the view; a letter typed and OK
// place it as one undo step. Cancel then places nothing.
TEST_F(TextToolViewTest, APressRunsTheDialogModallyAndPlacesTheText)
{
    bool answered = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&answered] {
        auto* dlg = dynamic_cast<CParamFontType*>(QApplication::activeModalWidget());
        if (dlg == nullptr || answered)
            return;
        answered = true;
        dlg->FaceList()->setCurrentIndex(dlg->FaceList()->findText(QStringLiteral("DejaVu Sans")));
        dlg->TextEdit()->setText(QStringLiteral("A"));
        dlg->OkButton()->click();
    });
    poll.start(10);
    Press();
    // The dialog runs once the press is done, from the event loop.
    ASSERT_TRUE(plat::WaitFor([&] { return answered && ObjectsAndSteps() == std::make_pair(1, 1); }));
    poll.stop();
    EXPECT_EQ(Ctx().m_pCurrent->m_pFirst->GetType(), MT_CHAR);

    bool cancelled = false;
    CDialogBase::SetModalAnswerForTesting([&cancelled](CDialogBase& d) {
        static_cast<CParamFontType&>(d).CancelButton()->click();
        cancelled = true;
        return plat::IDCANCEL;
    });
    Press();
    ASSERT_TRUE(plat::WaitFor([&] { return cancelled; }));
    EXPECT_EQ(ObjectsAndSteps(), std::make_pair(1, 1));
}

// At height 1000 a glyph unit is one world unit: the hand-made outline's
// closing segment runs from (500000, 500000) to (500000, 500060) and shows
// in the layer's colour.
TEST_F(TextToolViewTest, PlacedOutlineShowsInTheLayerColour)
{
    struct Source : CDocStateDrawText::GlyphSource {
        bool Outline(char32_t, std::vector<plat::TTPOLYGON>& polygons) override
        {
            const auto fx = [](int x, int y) { return plat::POINTFX{{0, std::int16_t(x)}, {0, std::int16_t(y)}}; };
            polygons = {{plat::TT_POLYGON_TYPE, fx(0, 0), {{plat::TT_PRIM_QSPLINE, {fx(60, 0), fx(60, 60), fx(0, 60)}}}}};
            return true;
        }
    };
    CDocStateDrawText::SetGlyphSourceForTesting(
        [](const std::string&, std::int32_t) { return std::make_unique<Source>(); });
    CDialogBase::SetModalAnswerForTesting([](CDialogBase& d) {
        auto& font = static_cast<CParamFontType&>(d);
        font.HeightEdit()->setText(QStringLiteral("1000"));
        font.TextEdit()->setText(QStringLiteral("O"));
        font.OkButton()->click();
        return plat::IDOK;
    });
    m_view->OnZoomRect(plat::RECT{499900, 499900, 500100, 500100});
    m_view->UpdateWindow();
    const COLORREF c = g_settings.PaletteColor(2);
    const QRgb layer = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF) & 0xFFFFFF;
    const plat::POINT on = Ctx().WorldToClientPixel(500000.0, 500030.0);
    ASSERT_NE(m_view->ScreenImage().pixel(on.x, on.y) & 0xFFFFFF, layer);
    Ctx().m_ptMouse = CGeoPoint(500000.0, 500000.0);
    m_view->CurrentTool()->OnLButtonDown(&Ctx());
    ASSERT_TRUE(plat::WaitFor([&] { return ObjectsAndSteps() == std::make_pair(1, 1); }));
    m_view->UpdateWindow();
    EXPECT_EQ(m_view->ScreenImage().pixel(on.x, on.y) & 0xFFFFFF, layer);
}
