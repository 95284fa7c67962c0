#include "ImportOptions.h"

#include <atomic>

namespace plat {

namespace {
HeadlessImportOptions g_headlessOptions;
std::atomic<ImportOptions*> g_options{nullptr};
thread_local ImportOptions* t_options = nullptr;
} // namespace

void SetImportOptions(ImportOptions* options) { g_options.store(options); }
void SetThreadImportOptions(ImportOptions* options) { t_options = options; }

ImportOptions& GetImportOptions()
{
    if (t_options != nullptr)
        return *t_options;
    ImportOptions* o = g_options.load();
    return o != nullptr ? *o : g_headlessOptions;
}

} // namespace plat
