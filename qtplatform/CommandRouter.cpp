#include "CommandRouter.h"

#include <QAction>
#include <QVariant>

namespace {
constexpr const char* kIdProperty = "brenvikCommandId";
}

void CommandMap::On(plat::UINT id, Handler handler, Updater updater)
{
    Entry entry;
    if (handler)
        entry.handler = [h = std::move(handler)](plat::UINT) { h(); };
    entry.updater = std::move(updater);
    m_entries[id] = std::move(entry);
}

void CommandMap::OnRange(plat::UINT first, plat::UINT last, std::function<void(plat::UINT)> handler,
                         Updater updater)
{
    for (plat::UINT id = first; id <= last; ++id)
        m_entries[id] = Entry{handler, updater};
}

bool CommandMap::OnCommand(plat::UINT id)
{
    const auto it = m_entries.find(id);
    if (it == m_entries.end() || !it->second.handler)
        return false;
    it->second.handler(id);
    return true;
}

bool CommandMap::OnUpdateCommand(CmdUI& ui)
{
    const auto it = m_entries.find(ui.m_nID);
    if (it == m_entries.end())
        return false;
    ui.Enable(true);
    if (it->second.updater)
        it->second.updater(ui);
    return true;
}

plat::UINT CommandIdOf(const QAction* action)
{
    if (action == nullptr)
        return 0;
    bool ok = false;
    const plat::UINT id = action->property(kIdProperty).toUInt(&ok);
    return ok ? id : 0;
}

void SetCommandId(QAction* action, plat::UINT id)
{
    action->setProperty(kIdProperty, QVariant::fromValue(id));
}

CommandRouter::CommandRouter(ChainFunction chain, QObject* parent) : QObject(parent), m_chain(std::move(chain)) {}

bool CommandRouter::Execute(plat::UINT id)
{
    for (CommandTarget* target : m_chain()) {
        if (target != nullptr && target->OnCommand(id))
            return true;
    }
    return false;
}

void CommandRouter::ExecuteQueued(plat::UINT id)
{
    QMetaObject::invokeMethod(this, [this, id] { Execute(id); }, Qt::QueuedConnection);
}

CmdUI CommandRouter::Update(plat::UINT id)
{
    CmdUI ui;
    ui.m_nID = id;
    for (CommandTarget* target : m_chain()) {
        if (target != nullptr && target->OnUpdateCommand(ui))
            return ui;
    }
    ui.m_bEnabled = false;
    return ui;
}

void CommandRouter::UpdateActions(const QList<QAction*>& actions)
{
    for (QAction* action : actions) {
        const plat::UINT id = CommandIdOf(action);
        if (id == 0)
            continue;
        const CmdUI ui = Update(id);
        action->setEnabled(ui.m_bEnabled);
        if (ui.m_nCheck >= 0) {
            action->setCheckable(true);
            action->setChecked(ui.m_nCheck != 0);
        }
    }
}
