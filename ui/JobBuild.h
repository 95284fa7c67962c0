// The document's job built as a download builds it, off the interface
// thread: the current snapshot is copied here a slice at a time between
// turns of the event loop, the settings copied whole, and the job made from
// the copies on a thread of its own (LongWork). The document, its undo
// history, its change count and the work folder stay as they were, whatever
// becomes of the build; Cancel returns at once.
#pragma once
#include "qtplatform/LongWork.h"
#include "machinecomm/VantrelRecords.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

class CSnapshotCopy;
struct DOCCONTEXT;

class CJobBuild : public QObject {
public:
    // Thousandths of the progress the copy of the snapshot takes.
    static constexpr int kCopyShare = 100;
    // Objects copied at one turn of the event loop.
    static constexpr std::size_t kCopySlice = 20000;

    // On the worker once the job is made (the preview fits its picture
    // there).
    using OnWorker = std::function<void(WORKHEAD& header)>;
    // On this thread at the end of a build that was not cancelled: whether
    // the generation succeeded, and the header with the job's layers, which
    // the caller takes (a header left with its layers has them freed).
    using Done = std::function<void(bool ok, WORKHEAD& header)>;

    explicit CJobBuild(QObject* parent = nullptr);
    ~CJobBuild() override;

    // `header` as its caller filled it (no layers), `jobName` the path that
    // names the job; `layerOptions` applies the machine's repairs too.
    void Start(const DOCCONTEXT& context, const WORKHEAD& header, std::string jobName, bool layerOptions,
               OnWorker onWorker, Done done, LongWork::Progressed progressed = {});
    void Cancel();
    bool Running() const;

private:
    struct Job;
    void CopySlice();

    std::unique_ptr<CSnapshotCopy> m_copy;
    std::shared_ptr<Job> m_job;
    Done m_done;
    LongWork::Progressed m_progressed;
    QTimer m_slicer;
    LongWork m_work;
};
