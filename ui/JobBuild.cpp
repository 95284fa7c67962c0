#include "JobBuild.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/SnapshotCopy.h"
#include "processing/FileTrans.h"
#include "processing/JobRecords.h"
#include "settings/SettingsCopy.h"


struct CJobBuild::Job {
    explicit Job(const SoftwareSettings& source) : settings(source) {}
    ~Job()
    {
        FreePathRecordGroups(header.m_layers);
        delete snapshot;
    }
    SettingsCopy settings;
    CDocListNode* snapshot = nullptr;
    WORKHEAD header;
    std::string jobName;
    bool layerOptions = false;
    CGeoPoint mouse;
    OnWorker onWorker;
};

CJobBuild::CJobBuild(QObject* parent) : QObject(parent)
{
    m_slicer.setInterval(0);
    connect(&m_slicer, &QTimer::timeout, this, [this] { CopySlice(); });
}

CJobBuild::~CJobBuild()
{
    Cancel();
}

bool CJobBuild::Running() const
{
    return m_job != nullptr;
}

void CJobBuild::Start(const DOCCONTEXT& context, const WORKHEAD& header, std::string jobName, bool layerOptions,
                      OnWorker onWorker, Done done, LongWork::Progressed progressed)
{
    Cancel();
    const SoftwareSettings& settings = context.m_pSettings != nullptr ? *context.m_pSettings : g_settings;
    m_job = std::make_shared<Job>(settings);
    m_job->header = header;
    m_job->header.m_layers = nullptr;
    m_job->jobName = std::move(jobName);
    m_job->layerOptions = layerOptions;
    m_job->mouse = context.m_ptMouse;
    m_job->onWorker = std::move(onWorker);
    m_done = std::move(done);
    m_progressed = std::move(progressed);
    m_copy = std::make_unique<CSnapshotCopy>(context);
    m_slicer.start();
}

void CJobBuild::CopySlice()
{
    if (m_copy == nullptr || m_job == nullptr)
        return;
    const bool whole = m_copy->Step(kCopySlice);
    if (m_progressed && m_copy->Total() > 0)
        m_progressed(static_cast<int>(m_copy->Copied() * kCopyShare / m_copy->Total()));
    if (!whole)
        return;
    m_slicer.stop();
    m_job->snapshot = m_copy->Take();
    m_copy.reset();
    std::shared_ptr<Job> job = m_job;
    m_work.Start(
        [job] {
            const ScopedThreadSettings threadSettings(job->settings.Get());
            DOCCONTEXT ctx;
            ctx.m_pSettings = &job->settings.Get();
            ctx.m_pCurrent = job->snapshot;
            ctx.m_ptMouse = job->mouse;
            job->header.m_hasObjectArrays = job->snapshot != nullptr && job->snapshot->HasArrayCopies() ? 1 : 0;
            // The copy's objects go as soon as they are paths: the rest of
            // the build needs their memory more.
            const bool made = CFileTrans::MakeWorkData(&job->header, &ctx, job->jobName,
                                                       [&job] { DeleteObjectList(job->snapshot->m_pFirst); });
            if (made && job->layerOptions)
                CFileTrans::ApplyLayerOptions(&job->header, &ctx);
            // The copy goes here, not on the interface thread.
            delete job->snapshot;
            job->snapshot = nullptr;
            if (made && job->onWorker)
                job->onWorker(job->header);
            plat::WorkStep(plat::WorkControl::kWhole);
            return made;
        },
        [this](bool ok) {
            std::shared_ptr<Job> built = std::move(m_job);
            Done done = std::move(m_done);
            m_progressed = nullptr;
            if (done)
                done(ok, built->header);
        },
        [this](int permille) {
            if (m_progressed)
                m_progressed(kCopyShare + permille * (plat::WorkControl::kWhole - kCopyShare) / plat::WorkControl::kWhole);
        });
}

void CJobBuild::Cancel()
{
    m_slicer.stop();
    m_work.Cancel();
    m_done = nullptr;
    m_progressed = nullptr;
    m_job.reset();
    if (m_copy != nullptr) {
        // A copy of many objects takes a while to free: not here.
        LongWork::Dispose([copy = std::shared_ptr<CSnapshotCopy>(std::move(m_copy))] {});
    }
}
