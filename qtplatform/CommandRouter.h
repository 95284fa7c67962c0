// Commands by their numeric ids, as menus, toolbars and keys send them. Each
// command and each update request goes down one chain of command targets
// (work panel, active view, document, child frame, main frame, application)
// until one handles it. An id that no target handles is disabled.
#pragma once
#include "platform/Win.h"

#include <QObject>

#include <functional>
#include <unordered_map>
#include <vector>

class QAction;

// The state of one command, as its update handler sets it.
struct CmdUI {
    plat::UINT m_nID = 0;
    bool m_bEnabled = false;
    int m_nCheck = -1; // -1: no check state given; 0 up; 1 down

    void Enable(bool on = true) { m_bEnabled = on; }
    void SetCheck(int check = 1) { m_nCheck = check; }
};

class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    // Runs the command when this target has a handler for it.
    virtual bool OnCommand(plat::UINT id) = 0;
    // Fills the state when this target handles the id (enabled unless its
    // update handler says otherwise).
    virtual bool OnUpdateCommand(CmdUI& ui) = 0;
};

// A command target with a table of handlers.
class CommandMap : public CommandTarget {
public:
    using Handler = std::function<void()>;
    using Updater = std::function<void(CmdUI&)>;

    // A handler for one id; the updater, when given, sets its state.
    void On(plat::UINT id, Handler handler, Updater updater = {});
    // One handler for the ids first .. last, given the id.
    void OnRange(plat::UINT first, plat::UINT last, std::function<void(plat::UINT)> handler,
                 Updater updater = {});

    bool OnCommand(plat::UINT id) override;
    bool OnUpdateCommand(CmdUI& ui) override;

private:
    struct Entry {
        std::function<void(plat::UINT)> handler;
        Updater updater;
    };
    std::unordered_map<plat::UINT, Entry> m_entries;
};

// A window that adds targets of its own to the chain (a document window adds
// its view, its document and itself, in that order).
class CommandChainSource {
public:
    virtual ~CommandChainSource() = default;
    virtual void AppendCommandTargets(std::vector<CommandTarget*>& chain) = 0;
};

// The id an action carries; 0 when it carries none.
plat::UINT CommandIdOf(const QAction* action);
void SetCommandId(QAction* action, plat::UINT id);

class CommandRouter : public QObject {
public:
    using ChainFunction = std::function<std::vector<CommandTarget*>()>;

    // The chain is asked for again at every command and update.
    explicit CommandRouter(ChainFunction chain, QObject* parent = nullptr);

    // Runs the command in the first target that handles it; false when none.
    bool Execute(plat::UINT id);
    // Runs it once control is back in the event loop (popup-menu commands,
    // so that the menu is gone first).
    void ExecuteQueued(plat::UINT id);
    // The state the first handling target gives; disabled when none.
    CmdUI Update(plat::UINT id);

    // Brings actions up to date: enabled, and checked where a state is given.
    // Actions without an id are left alone.
    void UpdateActions(const QList<QAction*>& actions);

private:
    ChainFunction m_chain;
};
