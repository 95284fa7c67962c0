#include "ImportRun.h"

#include "qtplatform/LongWork.h"
#include "MainFrame.h"
#include "model/DocContext.h"
#include "platform/Progress.h"
#include "settings/SettingsCopy.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPushButton>

#include <functional>
#include <memory>

namespace {

// Holds back the operator's input to everything but the Cancel button and
// the import's own questions; Escape and a window's close box cancel.
class InputHold : public QObject {
public:
    InputHold(QPushButton* cancel, std::function<void()> onCancel) : m_cancel(cancel), m_onCancel(std::move(onCancel))
    {
        qApp->installEventFilter(this);
    }
    ~InputHold() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            break;
        case QEvent::Close: {
            // Closes reach a widget after its window; a question closes as
            // it likes.
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget == nullptr || !event->spontaneous() || Answering(watched))
                return false;
            m_onCancel();
            event->ignore();
            return true;
        }
        default:
            return false;
        }
        // Input reaches a widget through its window: it is held back at the
        // widget, where a question can be told from the rest.
        if (watched->isWindowType() || Answering(watched))
            return false;
        if (m_cancel != nullptr && watched == m_cancel)
            return false;
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            m_onCancel();
        return true;
    }

private:
    // Input to a question the import asks (a modal window it opened).
    static bool Answering(QObject* watched)
    {
        QWidget* modal = QApplication::activeModalWidget();
        auto* widget = qobject_cast<QWidget*>(watched);
        return modal != nullptr && widget != nullptr && (widget == modal || modal->isAncestorOf(widget));
    }

    QPushButton* m_cancel;
    std::function<void()> m_onCancel;
};

// The Cancel beside the progress control of the main frame, the shown one
// first.
QPushButton* WorkCancelButton()
{
    CMainFrame* found = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* frame = dynamic_cast<CMainFrame*>(w); frame != nullptr && (found == nullptr || frame->isVisible()))
            found = frame;
    }
    return found != nullptr ? found->WorkCancelButton() : nullptr;
}

// The import options a road remembers, back from the copy it worked on.
void TakeImportOptions(SoftwareSettings& to, const SoftwareSettings& from)
{
    to.dxf_dimension = from.dxf_dimension;
    to.plt_resolution = from.plt_resolution;
    to.plt_other_resolution = from.plt_other_resolution;
    to.bitmap_type = from.bitmap_type;
    to.bitmap_dot = from.bitmap_dot;
    to.dot_agl = from.dot_agl;
    to.dot_size = from.dot_size;
}

struct Read {
    explicit Read(const SoftwareSettings& source) : settings(source) {}
    SettingsCopy settings;
    ImportedObjects objects;
    ImportFailure why = ImportFailure::Damaged;
};

} // namespace

bool ImportFile(DOCCONTEXT& ctx, const std::string& path, bool place, ImportFailure* why)
{
    ImportFailure failure = ImportFailure::None;
    ImportFailure& reason = why != nullptr ? *why : failure;
    if (ctx.m_pCurrent == nullptr) {
        reason = ImportFailure::Damaged;
        return false;
    }
    SoftwareSettings& settings = SettingsOf(ctx);
    auto read = std::make_shared<Read>(settings);
    const CGeoPoint mouse = ctx.m_ptMouse;

    LongWork work;
    QEventLoop loop;
    bool ended = false;
    bool ok = false;
    plat::ProgressSink* progress = plat::GetProgressSink();
    if (progress != nullptr) {
        progress->SetRange(0, plat::WorkControl::kWhole);
        progress->SetPos(0);
    }
    work.Start(
        [read, path, place, mouse] {
            const ScopedThreadSettings threadSettings(read->settings.Get());
            DOCCONTEXT copy;
            copy.m_pSettings = &read->settings.Get();
            copy.m_ptMouse = mouse;
            return CFileReadTrans().ReadObjects(&copy, path, place, read->objects, &read->why);
        },
        [&](bool done) {
            ended = true;
            ok = done;
            loop.quit();
        },
        [progress](int permille) {
            if (progress != nullptr)
                progress->SetPos(permille);
        });
    QPushButton* cancel = WorkCancelButton();
    const auto stop = [&] {
        work.Cancel();
        loop.quit();
    };
    QMetaObject::Connection clicked;
    if (cancel != nullptr) {
        clicked = QObject::connect(cancel, &QPushButton::clicked, stop);
        cancel->show();
    }
    {
        const InputHold hold(cancel, stop);
        // A loop left by the end of the session leaves the work unfinished.
        if (!ended)
            loop.exec();
    }
    if (cancel != nullptr) {
        QObject::disconnect(clicked);
        cancel->hide();
    }
    if (progress != nullptr)
        progress->SetPos(0);
    if (!ended) {
        work.Cancel();
        reason = ImportFailure::Cancelled;
        return false;
    }
    TakeImportOptions(settings, read->settings.Get());
    if (!ok) {
        reason = read->why == ImportFailure::None ? ImportFailure::Damaged : read->why;
        return false;
    }
    if (!CFileReadTrans().AddObjects(&ctx, read->objects, place)) {
        reason = ImportFailure::Damaged;
        return false;
    }
    reason = ImportFailure::None;
    return true;
}
