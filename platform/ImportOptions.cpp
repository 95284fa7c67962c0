#include "ImportOptions.h"

#include <atomic>

namespace plat {

namespace {
HeadlessImportOptions g_headlessOptions;
std::atomic<ImportOptions*> g_options{nullptr};
} // namespace

void SetImportOptions(ImportOptions* options) { g_options.store(options); }

ImportOptions& GetImportOptions()
{
    ImportOptions* o = g_options.load();
    return o != nullptr ? *o : g_headlessOptions;
}

} // namespace plat
