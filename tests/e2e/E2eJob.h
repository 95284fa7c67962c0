// A job's way from the drawing to the machine as the operator takes it: the
// work page's dialogs as the program sets them, the posted progress of the
// transfer delivered, the modal dialogs answered by their templates, and the
// stream the fake controller received put back together.
#pragma once
#include "E2eProgram.h"
#include "qtplatform/CommandRouter.h"
#include "app/OrvelView.h"
#include "qtplatform/QtMessagePoster.h"
#include "app/WorkPageDialogs.h"
#include "machinecomm/Vantrel.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/TextFile.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"
#include "ui/TransLoadNameDlg.h"
#include "ui/TransLoadProcessDlg.h"
#include "ui/WorkDownloadSet.h"
#include "ui/WorkPageWork.h"
#include "ui/WorkSetParameter.h"
#include "ui/XPButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// The work page's dialogs as the program's main sets them, the program's
// message poster, and the modal dialogs answered by template id: a dialog
// nobody answers is a test failure and is cancelled, so nothing waits on an
// operator who is not there.
class E2eJobStage {
public:
    using Answerer = std::function<int(CDialogBase&)>;

    E2eJobStage()
    {
        plat::SetMessagePoster(&m_poster);
        CWorkPageWork::SetDialogs(MakeWorkPageDialogs());
        CDialogBase::SetModalAnswerForTesting([this](CDialogBase& dialog) {
            const auto it = m_answers.find(dialog.TemplateId());
            if (it == m_answers.end()) {
                ADD_FAILURE() << "dialog " << dialog.TemplateId() << " opened unasked";
                return int(IDCANCEL);
            }
            return it->second(dialog);
        });
    }
    ~E2eJobStage()
    {
        CDialogBase::SetModalAnswerForTesting({});
        CWorkDownloadSet::SetFileChooserForTesting({});
        CWorkPageWork::SetDialogs({});
        m_poster.Shutdown();
        plat::SetMessagePoster(nullptr);
    }
    E2eJobStage(const E2eJobStage&) = delete;
    E2eJobStage& operator=(const E2eJobStage&) = delete;

    void Answer(int templateId, Answerer answer) { m_answers[templateId] = std::move(answer); }
    void Forget(int templateId) { m_answers.erase(templateId); }

    // The save chooser of the download dialog names this path.
    static void SaveAs(const std::string& path)
    {
        CWorkDownloadSet::SetFileChooserForTesting([path](bool save, const QString&, std::u16string& chosen) {
            EXPECT_TRUE(save);
            chosen = QString::fromStdString(path).toStdU16String();
            return true;
        });
    }

    // The progress dialog runs for real; what it showed is kept.
    struct Progress {
        int result = 0;
        int shownPercent = -1;
        qint64 msFromFullToClose = -1;
    };
    // Answers the progress dialog by running it; `whileRunning` is called
    // every 20 ms of its run with the dialog.
    void RunProgress(Progress& seen, std::function<void(CTransLoadProcessDlg&)> whileRunning = {})
    {
        Answer(CTransLoadProcessDlg::IDD, [&seen, whileRunning](CDialogBase& d) {
            auto& dialog = static_cast<CTransLoadProcessDlg&>(d);
            QElapsedTimer sinceFull;
            QObject::connect(dialog.ProgressBar(), &QProgressBar::valueChanged, &dialog, [&](int value) {
                seen.shownPercent = value;
                if (value == 100)
                    sinceFull.start();
            });
            QTimer poll;
            if (whileRunning) {
                QObject::connect(&poll, &QTimer::timeout, &dialog, [&] { whileRunning(dialog); });
                poll.start(20);
            }
            const int result = dialog.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
            poll.stop();
            if (sinceFull.isValid())
                seen.msFromFullToClose = sinceFull.elapsed();
            seen.result = result;
            return result;
        });
    }

    QtMessagePoster m_poster;

private:
    std::map<int, Answerer> m_answers;
};

inline CWorkPageWork& WorkPage(CMainFrame& frame)
{
    auto* panel = dynamic_cast<CWorkDlgBar*>(frame.PanelPages());
    EXPECT_NE(panel, nullptr);
    return panel->PageWork();
}

// Clicks a button of a dialog that is not on the screen (answered modally).
inline void Press(QAbstractButton* button)
{
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled());
    button->click();
}

// Opens a dialog of the download dialog's buttons and leaves it.
inline E2eJobStage::Answerer DownloadDialogPressing(int buttonId)
{
    return [buttonId](CDialogBase& d) {
        auto& dialog = static_cast<CWorkDownloadSet&>(d);
        Press(dialog.Button(buttonId));
        return int(IDCANCEL);
    };
}

// The job name dialog answered with the name typed.
inline E2eJobStage::Answerer JobNameTyping(const QString& name)
{
    return [name](CDialogBase& d) {
        auto& dialog = static_cast<CTransLoadNameDlg&>(d);
        dialog.NameEdit()->clear();
        QTest::keyClicks(dialog.NameEdit(), name);
        Press(dialog.OkButton());
        return dialog.result() == QDialog::Accepted ? int(IDOK) : int(IDCANCEL);
    };
}

// Double-clicks the layer list's row as the operator does.
inline void DoubleClickRow(QTableWidget* list, int row)
{
    const QPoint centre = list->visualRect(list->model()->index(row, 1)).center();
    // A press and release, then the second press that makes it double.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
}

// The job stream the controller received: the payloads of the job blocks (a
// 50-byte head with "OUT" at 21) in block order, unscrambled with the key.
// Packets of other kinds (the link's own queries) are left out; a block
// number out of sequence or a last-block flag before the end fails.
inline Bytes ReceivedJobStream(const FakeController& fake, std::uint8_t key)
{
    Bytes stream;
    std::uint32_t expected = 1;
    bool ended = false;
    for (const Bytes& packet : fake.Unscrambled(key)) {
        if (packet.size() < 50 || packet[21] != 'O' || packet[22] != 'U' || packet[23] != 'T')
            continue;
        const std::uint32_t block = std::uint32_t(packet[8]) << 24 | std::uint32_t(packet[9]) << 16 |
                                    std::uint32_t(packet[10]) << 8 | packet[11];
        EXPECT_EQ(block, expected) << "block out of sequence";
        EXPECT_FALSE(ended) << "a block after the last one";
        ++expected;
        ended = packet[12] == 1;
        stream.insert(stream.end(), packet.begin() + 50, packet.end());
    }
    EXPECT_TRUE(stream.empty() || ended) << "no last block";
    return stream;
}

// A work file's bytes, unscrambled with the key.
inline Bytes UnscrambledFile(const std::string& path, std::uint8_t key)
{
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
    Bytes plain(bytes.begin(), bytes.end());
    for (auto& b : plain)
        b ^= key;
    return plain;
}

// Undo steps behind the current snapshot.
inline int HistoryDepth(const DOCCONTEXT& ctx)
{
    int depth = 0;
    for (const CDocListNode* n = ctx.m_pCurrent->m_pOlder; n != nullptr; n = n->m_pOlder)
        ++depth;
    return depth;
}

inline std::vector<CGeoBox> ObjectBoxes(const DOCCONTEXT& ctx)
{
    std::vector<CGeoBox> boxes;
    for (const CDocData* o = ctx.m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
        boxes.push_back(o->m_rcBound);
    return boxes;
}

// Types into a property edit as the operator does; Enter hands the focus
// back to the view, which applies it.
inline void TypeAndEnter(QLineEdit* edit, QWidget* view, const QString& text)
{
    edit->setFocus();
    ASSERT_TRUE(WaitFor([edit] { return edit->hasFocus(); }));
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([view] { return view->hasFocus(); }));
}

// The layer parameter dialog answered as typed: cutting on or off, and
// (with cutting) its speed in mm/s and its highest power 1 in percent.
inline E2eJobStage::Answerer LayerDialogTyping(bool cut, const QString& speed = {}, const QString& maxPower1 = {})
{
    return [=](CDialogBase& d) {
        auto& dialog = static_cast<CWorkSetParameter&>(d);
        QCheckBox* cutting = dialog.Check(CWorkSetParameter::IDC_CUT);
        if (cutting->isChecked() != cut)
            cutting->click();
        for (auto [id, text] : {std::pair{int(CWorkSetParameter::IDC_CUT_SPEED), speed},
                                std::pair{int(CWorkSetParameter::IDC_CUT_MAX1), maxPower1}}) {
            if (text.isEmpty())
                continue;
            dialog.Edit(id)->clear();
            QTest::keyClicks(dialog.Edit(id), text);
        }
        static_cast<QDialog&>(dialog).accept();
        return dialog.result() == QDialog::Accepted ? int(IDOK) : int(IDCANCEL);
    };
}

// A drawing of 12 polylines on layer 0 written by another program; it lies
// beside the checkout, and where it is missing the tests that import it are
// skipped.
inline const std::string kPolylines = BRENVIK_TESTDATA "/dxf/polylines.dxf";
inline bool HavePolylines()
{
    return std::string_view(BRENVIK_TESTDATA).size() > 0 && std::filesystem::exists(kPolylines);
}

// File, Import of the polylines drawing.
inline void ImportPolylines(CMainFrame& frame)
{
    const std::string dxf = kPolylines;
    COrvelView::SetImportChooserForTesting([&](const std::string&, std::string& path, bool&) {
        path = dxf;
        return true;
    });
    frame.Router().Execute(cmd::FileImport);
    COrvelView::SetImportChooserForTesting(nullptr);
}

// A transfer thread of the library still runs.
inline bool TransferRunning()
{
    return VQ_TransFileOperate(nullptr) == TRANS_BUSY;
}

// The drawing's 12 polylines imported into the empty first document, every
// object selected with A on the view and moved 10 mm right by the property
// bar's x edit, then the layer's cutting speed set to 20 mm/s and its highest
// power 1 to 55 % in the layer dialog opened from the layer list. Returns
// the undo steps there were right after the import.
inline int ImportMoveAndSetLayer(CMainFrame& frame, COrvelView& view, E2eJobStage& stage)
{
    DOCCONTEXT& ctx = view.Context();
    ImportPolylines(frame);
    const int afterImport = HistoryDepth(ctx);
    const std::vector<CGeoBox> imported = ObjectBoxes(ctx);
    EXPECT_EQ(imported.size(), 12u);

    frame.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&frame));
    view.setFocus();
    EXPECT_TRUE(WaitFor([&view] { return view.hasFocus(); }));
    QTest::keyClick(&view, Qt::Key_A);
    for (const CDocData* o = ctx.m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
        EXPECT_EQ(o->IsSelected(), 1);
    // The drawing lies on the table's origin: x shows 0.
    QLineEdit* x = frame.PropertyEdit(32853, false);
    EXPECT_EQ(x->text(), QStringLiteral("0.000 mm"));
    TypeAndEnter(x, &view, QStringLiteral("10"));
    const std::vector<CGeoBox> moved = ObjectBoxes(ctx);
    EXPECT_EQ(moved.size(), imported.size());
    for (std::size_t i = 0; i < std::min(moved.size(), imported.size()); ++i) {
        EXPECT_NEAR(moved[i].m_xmin, imported[i].m_xmin + 100.0, 1e-6) << i;
        EXPECT_NEAR(moved[i].m_ymin, imported[i].m_ymin, 1e-6) << i;
    }

    CWorkPageWork& page = WorkPage(frame);
    QTableWidget* list = page.LayerList();
    EXPECT_EQ(list->rowCount(), 1);
    stage.Answer(CWorkSetParameter::IDD, LayerDialogTyping(true, QStringLiteral("20"), QStringLiteral("55")));
    DoubleClickRow(list, 0);
    stage.Forget(CWorkSetParameter::IDD);
    const WorkParams* layer = FindLayerParams(ctx.m_pSettings->m_pLayers, 0);
    EXPECT_EQ(layer->m_border, 1);
    EXPECT_EQ(layer->m_b_speed, 20.0);
    EXPECT_EQ(layer->m_b_max_light1, 55.0);
    return afterImport;
}

// No dialog of the program is left on the screen.
inline bool NoDialogOpen()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QDialog*>(w) != nullptr && w->isVisible())
            return false;
    return true;
}

} // namespace plat
