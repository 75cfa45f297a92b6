// The shims of stored layers, read from the main databases through the shim engine.
#include "engine_layers.h"

#include "../common/handle_holder.h"
#include "../common/utf8_text.h"
#include "../inventory/windows_paths.h"
#include "../inspect/redirection_revert.h"
#include "../sdb/sdb_tags.h"
#include "../shimreport/apphelp_api.h"
#include "../shimreport/database_handle_holder.h"

namespace {

typedef HandleHolder<DatabaseHandleTraits> EngineDatabase;

// The NAME of an entry as the engine gives it; empty when it has none.
std::string NameOf(PDB database, TAGID entry) {
    const TAGID name = ApphelpApi.SdbFindFirstTag(database, entry, sdb::TAG_NAME);
    const LPWSTR text = name == 0 ? NULL : ApphelpApi.SdbGetStringTagPtr(database, name);
    return text == NULL ? std::string() : Utf8(text);
}

// The layers of one main database, read once.
struct MainLayers {
    std::string path;
    std::vector<EngineLayer> layers;
};

const EngineLayer* FindLayer(const MainLayers& main, const std::string& name) {
    for (const EngineLayer& layer : main.layers) {
        if (inventory::equal_ignoring_case(layer.name, name)) {
            return &layer;
        }
    }
    return NULL;
}

} // namespace

bool ReadEngineLayers(const std::wstring& path, std::vector<EngineLayer>& layers) {
    layers.clear();
    EnsureApphelpLoaded();
    if (ApphelpApi.SdbOpenDatabase == NULL || ApphelpApi.SdbCloseDatabase == NULL ||
        ApphelpApi.SdbFindFirstTag == NULL || ApphelpApi.SdbFindNextTag == NULL ||
        ApphelpApi.SdbGetStringTagPtr == NULL) {
        return false;
    }
    const RedirectionRevert redirection;
    const EngineDatabase database(ApphelpApi.SdbOpenDatabase(path.c_str(), DosPathType));
    if (!database.Held()) {
        return false;
    }
    const PDB pdb = database.Handle();
    const TAGID root = ApphelpApi.SdbFindFirstTag(pdb, sdb::TAGID_ROOT, sdb::TAG_DATABASE);
    for (TAGID layer = root == 0 ? 0 : ApphelpApi.SdbFindFirstTag(pdb, root, sdb::TAG_LAYER);
         layer != 0; layer = ApphelpApi.SdbFindNextTag(pdb, root, layer)) {
        EngineLayer entry;
        entry.name = NameOf(pdb, layer);
        for (TAGID shim = ApphelpApi.SdbFindFirstTag(pdb, layer, sdb::TAG_SHIM_REF); shim != 0;
             shim = ApphelpApi.SdbFindNextTag(pdb, layer, shim)) {
            entry.shims.push_back(NameOf(pdb, shim));
        }
        layers.push_back(entry);
    }
    return true;
}

void ExpandStoredLayers(const std::vector<std::string>& mainDatabases,
                        inventory::Inventory& inventory) {
    std::vector<MainLayers> mains;
    for (const std::string& path : mainDatabases) {
        MainLayers main = {path, std::vector<EngineLayer>()};
        if (!ReadEngineLayers(WideFromUtf8(path), main.layers)) {
            inventory.warnings.push_back("the shim engine could not open " + path +
                                         " for its layers");
        }
        mains.push_back(main);
    }
    for (inventory::StoredLayer& stored : inventory.layers) {
        for (inventory::LayerExpansion& expansion : stored.layers) {
            // A layer of a registered database keeps the core's expansion, unless a main
            // database, which the engine reads first, defines it too.
            const inventory::LayerExpansion core = expansion;
            expansion.found = false;
            expansion.main = false;
            expansion.database.clear();
            expansion.shims.clear();
            for (const MainLayers& main : mains) {
                const EngineLayer* layer = FindLayer(main, expansion.name);
                if (layer != NULL) {
                    expansion.found = true;
                    expansion.main = true;
                    expansion.database = main.path;
                    expansion.shims = layer->shims;
                    break;
                }
            }
            if (!expansion.found && core.found && !core.main) {
                expansion = core;
            }
        }
    }
}
